// Builds the demo data tree: every file is written through datakit from the text sources in data/.
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/mkdemo/Demo.h"

int main(int argc, char** argv) {
    std::string out = "build/demo";
    std::string source = KV_DATA_DIR;
    bool pack = false;
    for (int i = 1; i < argc; ++i) {
        if (!strcmp(argv[i], "--out") && i + 1 < argc) {
            out = argv[++i];
        } else if (!strcmp(argv[i], "--source") && i + 1 < argc) {
            source = argv[++i];
        } else if (!strcmp(argv[i], "--pack")) {
            pack = true;
        } else {
            fprintf(stderr, "usage: mkdemo [--out DIR] [--source DATA_DIR] [--pack]\n");
            return 2;
        }
    }
    mkdemo::Context ctx{out, source, pack};
    if (!mkdemo::BuildDemo(ctx)) {
        fprintf(stderr, "mkdemo: failed to write the demo tree to %s\n", out.c_str());
        return 1;
    }
    printf("mkdemo: demo tree written to %s\n", out.c_str());
    return 0;
}
