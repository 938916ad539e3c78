// The tokenizer through the rules reader: the input is "app/rules"; the rules read are then looked up
// and freed.
#include "core/Rules.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvfuzz::Setup();
    kvfuzz::Mount("app/rules", data, size);
    kvfuzz::Run([] {
        ReadRules("app\\rules");
        for (Rule* r = RuleList; r; r = r->next) FindRule(r->name);
    });
    FreeRules();
    qzpk_close();
    return 0;
}
