#include "mailstore/mapi/SubjectPrefix.h"

#include "mailstore/base/Utf8.h"

namespace bv::mailstore::mapi {

std::pair<std::string, std::string> SplitSubjectPrefix(const std::string& subject) {
    size_t i = 0;
    int chars = 0;
    while (i < subject.size() && chars < 4) {
        const uint32_t cp = base::DecodeUtf8(subject, i);
        if (cp == ':') {
            if (chars >= 1 && i < subject.size() && subject[i] == ' ') return {subject.substr(0, i + 1), subject.substr(i + 1)};
            break;
        }
        if (cp == ' ' || cp == '\t' || (cp >= '0' && cp <= '9') || cp == base::kReplacementCharacter) break;
        ++chars;
    }
    return {std::string(), subject};
}

}  // namespace bv::mailstore::mapi
