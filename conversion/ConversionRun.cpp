#include "conversion/ConversionRun.h"

namespace bv::conversion {

struct ConversionRun::State {};
ConversionRun::ConversionRun(RunHost& host) : host_(host), state_(new State) {}
ConversionRun::~ConversionRun() { delete state_; }
RunReport ConversionRun::Run() { return {}; }
std::string CompletionText(const RunReport&, bool) { return {}; }

}  // namespace bv::conversion
