// pst-validate on damaged files: any bytes give findings, never a crash or a hang.
#include <cstdint>
#include <cstdio>
#include <filesystem>

#include "FuzzCommon.h"
#include "PstValidate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::filesystem::path path = bv::fuzz::ScratchDir() / "damaged.pst";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    BV_FUZZ_CHECK(f != nullptr);
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
    bv::pstcheck::Result r = bv::pstcheck::ValidatePstFile(path.string());
    for (const auto& finding : r.findings) (void)bv::pstcheck::FormatFinding(finding);
    (void)bv::pstcheck::FormatSummary(r.summary);
    return 0;
}
