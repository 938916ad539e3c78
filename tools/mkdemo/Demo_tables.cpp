// The fixed-point tables of the demo tree.
#include "tools/datakit/FPTables.h"
#include "tools/mkdemo/Demo.h"

namespace mkdemo {

bool BuildFPTables(const Context& ctx) {
    return datakit::WriteFPTables(ctx.out);
}

}  // namespace mkdemo
