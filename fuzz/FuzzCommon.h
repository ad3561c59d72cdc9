// Small helpers shared by the fuzz targets: a private scratch folder, a UTF-8
// check and a plain UTF-8 -> UTF-16LE conversion to compare written files with.
#pragma once
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "mailstore/mapi/Message.h"

namespace bv::fuzz {

// Trap with a message: libFuzzer records the input that got here.
[[noreturn]] inline void Fail(const char* what, const std::string& detail = "") {
    std::fprintf(stderr, "FUZZ CHECK FAILED: %s %s\n", what, detail.c_str());
    std::abort();
}
#define BV_FUZZ_CHECK(cond, ...) \
    do {                         \
        if (!(cond)) ::bv::fuzz::Fail(#cond, ##__VA_ARGS__); \
    } while (0)

// A scratch folder for this process, in memory where the machine has /dev/shm;
// removed when the process ends normally.
inline std::filesystem::path& ScratchPath() {
    static std::filesystem::path p;
    return p;
}
inline const std::filesystem::path& ScratchDir() {
    std::filesystem::path& p = ScratchPath();
    if (p.empty()) {
        std::filesystem::path base = std::filesystem::exists("/dev/shm") ? std::filesystem::path("/dev/shm")
                                                                          : std::filesystem::temp_directory_path();
        p = base / ("bvfuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(p);
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(ScratchPath(), ec);
        });
    }
    return p;
}

// Strict UTF-8: shortest forms only, no surrogates, nothing above U+10FFFF.
inline bool ValidUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        size_t len;
        uint32_t cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            len = 2;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + len > s.size()) return false;
        for (size_t k = 1; k < len; ++k) {
            unsigned char d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000)) return false;
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += len;
    }
    return true;
}

// Valid UTF-8 only (checked first).
inline std::string Utf16Le(std::string_view s) {
    std::string out;
    size_t i = 0;
    auto put = [&](uint32_t u) {
        out += char(u & 0xFF);
        out += char(u >> 8);
    };
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        uint32_t cp;
        size_t len = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : 4;
        cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
        for (size_t k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            put(0xD800 + (cp >> 10));
            put(0xDC00 + (cp & 0x3FF));
        } else {
            put(cp);
        }
    }
    return out;
}

// The text with its non-ASCII bytes as \xNN, cut to 400 characters, for reports.
inline std::string Hex(std::string_view s) {
    std::string out;
    for (unsigned char ch : s.substr(0, 400)) {
        if (ch >= 0x20 && ch < 0x7F) {
            out += char(ch);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", ch);
            out += buf;
        }
    }
    return out;
}

// Every string value of a message (recipients, attachments, embedded messages too)
// is valid UTF-8: the .msg and .pst writers turn them into UTF-16 as they are. An
// imported message's hold no NUL either (`nulFree`): readers would end them there.
inline void CheckStrings(const mailstore::mapi::PropertyBag& bag, const char* where, bool nulFree) {
    for (const auto& [id, prop] : bag.All()) {
        if (auto s = std::get_if<std::string>(&prop.value)) {
            BV_FUZZ_CHECK(ValidUtf8(*s), std::string(where) + " property id " + std::to_string(id) + ": " + Hex(*s));
            BV_FUZZ_CHECK(!nulFree || s->find('\0') == std::string::npos,
                          std::string(where) + " property id " + std::to_string(id) + " holds NUL: " + Hex(*s));
        }
        if (auto v = std::get_if<std::vector<std::string>>(&prop.value))
            for (const auto& s : *v) BV_FUZZ_CHECK(ValidUtf8(s), std::string(where) + " multi-valued string");
    }
}
inline void CheckMessageStrings(const mailstore::mapi::Message& m, bool nulFree = false, int depth = 0) {
    BV_FUZZ_CHECK(depth < 64, "embedded messages nested too deeply");
    CheckStrings(m.props, "message", nulFree);
    for (const auto& r : m.recipients) CheckStrings(r.Props(), "recipient", nulFree);
    for (const auto& a : m.attachments) {
        CheckStrings(a.props, "attachment", nulFree);
        if (a.embedded) CheckMessageStrings(*a.embedded, nulFree, depth + 1);
    }
}

}  // namespace bv::fuzz
