// The action-unit chunk body, written field by field.
#include "tools/datakit/ActionUnit.h"

#include "tools/datakit/Bytes.h"

namespace datakit {

std::vector<uint8_t> ActionUnitBody(const ActionUnitDef& def) {
    Bytes b;
    b.fixedText(def.name, 32);
    b.i32(def.abstractClan);
    b.i32(def.headerWord);
    for (const auto& list : def.lists) {
        b.u32(static_cast<uint32_t>(list.size()));
        for (const ActionUnitEntry& e : list) {
            b.fixedText(e.type, 32);
            b.i32(e.percentage);
            for (int32_t w : e.place) b.i32(w);
            if (e.data) {
                b.text("DATA");
                b.u32(static_cast<uint32_t>(e.data->size()));
                b.raw(e.data->data(), e.data->size());
            }
        }
    }
    return b.data();
}

}  // namespace datakit
