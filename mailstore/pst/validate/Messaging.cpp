#include "Context.h"
namespace bv::pstcheck {
const FactPropDef kFactProps[fpCount] = {};
void CheckMessaging(Context&) {}
}
