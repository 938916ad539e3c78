// The package: the input is a whole "Vexa.qzp"; every packed file is opened, read through, sought in
// and read again, and the folders are listed.
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvfuzz::Setup();
    qzpk_close();
    kvfuzz::WriteDiskFile("Vexa.qzp", data, size);
    kvfuzz::Run([&] {
        if (qzpk_init("Vexa.qzp") <= 0) return;
        std::vector<std::string> names;
        for (int i = 0; i < QZPK->tagCount && i < 64; ++i)
            if (QZPK->tags[i]->name) names.emplace_back(QZPK->tags[i]->name);
        char buf[512];
        for (const std::string& name : names) {
            qzpk_exists(name.c_str());
            int n = qzpk_filesize(name.c_str());
            FileTime date;
            qzpk_filedate(name.c_str(), &date);
            FILE* f = qzpk_fopen(name.c_str(), "rb");
            if (!f) continue;
            size_t total = 0;
            while (total < size_t(n > 0 ? n : 0) + 1) {
                size_t got = qzpk_fread(buf, 1, sizeof buf, f);
                if (got == 0) break;
                total += got;
            }
            qzpk_feof(f);
            qzpk_fseek(f, n / 2, SEEK_SET);
            qzpk_fgetc(f);
            qzpk_fseek(f, -1, SEEK_END);
            qzpk_fread(buf, 1, 8, f);
            qzpk_ftell(f);
            qzpk_fclose(f);
            // The folder of the file, listed.
            std::string folder = name.substr(0, name.rfind('\\') == std::string::npos ? 0 : name.rfind('\\'));
            int cursor = 0;
            char entry[256];
            for (int k = 0; k < 16 && qzpk_findfiles(folder.c_str(), &cursor, entry, sizeof entry) && cursor != -1; ++k) {
            }
        }
    });
    qzpk_close();
    return 0;
}
