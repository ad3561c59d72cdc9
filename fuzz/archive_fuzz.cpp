// Archives as inputs: any bytes read as an archive, every member read out through
// the byte source (with the read-ahead thread where members are decompressed) and
// probed as the run does.
//
// Input: an archive file. No crash, leak or hang; a member never expands past the
// bomb limit (with the allowance lowered to 1 MiB) by more than one read; a source
// that failed keeps failing; every name the run would use is either refused or
// mirrors below the archive's folder.
#include <cstdint>
#include <fstream>
#include <optional>
#include <string>

#include "FuzzCommon.h"
#include "conversion/ArchiveInput.h"
#include "conversion/InputFile.h"
#include "conversion/MailboxProbe.h"
#include "conversion/PathHelpers.h"
#include "conversion/ReadAhead.h"

using namespace bv;
using namespace bv::conversion;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    constexpr uint64_t kAllowance = uint64_t(1) << 20;
    SetBombAllowanceForTesting(kAllowance);
    const std::filesystem::path path = fuzz::ScratchDir() / "archive";
    {
        std::ofstream f(path, std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    }
    ArchiveReader archive;
    if (std::optional<Failure> failure = archive.Open(path.string())) {
        BV_FUZZ_CHECK(!failure->reason.empty());
        return 0;
    }
    for (int entries = 0; entries < 64; ++entries) {
        ArchiveReader::Step step = archive.NextMember();
        BV_FUZZ_CHECK((step.next == ArchiveReader::Next::Damaged || step.next == ArchiveReader::Next::Failed) ==
                      (step.failure && !step.failure->reason.empty()));
        if (step.next == ArchiveReader::Next::End || step.next == ArchiveReader::Next::Failed) break;
        if (step.next == ArchiveReader::Next::Damaged) continue;
        const ArchiveMember& member = step.member;
        if (UnsafeMemberName(member.name).empty()) {
            // What the run mirrors below the destination stays below the archive's folder.
            BV_FUZZ_CHECK(PathRootLength(member.name) == 0, member.name);
        }
        if (!member.regular || member.encrypted) continue;
        std::optional<ReadAhead> ahead;
        InputFile in;
        in.Open(size > 0 && (data[0] & 1) && archive.decompresses() ? ahead.emplace(archive.data()) : archive.data());
        const Probed probe = ProbeMailbox(in, member.name);
        const MboxLineEnds mode = probe.lineEnds;
        BV_FUZZ_CHECK((mode == MboxLineEnds::None) == probe.failure.has_value());
        (void)MemberKindOf(member.name, in.data(), in.available());
        uint64_t total = 0;
        while (in.Ensure(1) > 0) {
            total += in.available();
            in.Consume(in.available());
            BV_FUZZ_CHECK(total <= std::max<uint64_t>(kBombRatio * (size + 1), size + kAllowance) + (3u << 20));
        }
        if (in.failed()) {
            BV_FUZZ_CHECK(!in.error().empty());
            BV_FUZZ_CHECK(in.Ensure(1) == 0 && in.failed());
        }
    }
    return 0;
}
