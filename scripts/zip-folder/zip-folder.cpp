// zip-folder FOLDER ARCHIVE: writes the regular files of FOLDER (not its
// sub-folders) into a new zip ARCHIVE, deflated, in name order. Used by
// make-sample-series so the sample needs nothing beyond the build's own
// libraries.
#include <zip.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: zip-folder FOLDER ARCHIVE\n");
        return 2;
    }
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    std::error_code error;
    for (const auto &entry : fs::directory_iterator(argv[1], error))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    if (error) {
        std::fprintf(stderr, "zip-folder: cannot read %s\n", argv[1]);
        return 1;
    }
    std::sort(files.begin(), files.end());

    int code = 0;
    zip_t *archive = zip_open(argv[2], ZIP_CREATE | ZIP_EXCL, &code);
    if (!archive) {
        std::fprintf(stderr, "zip-folder: cannot create %s\n", argv[2]);
        return 1;
    }
    for (const fs::path &file : files) {
        zip_source_t *source = zip_source_file(archive, file.c_str(), 0, -1);
        const std::string name = file.filename().string();
        if (!source || zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8) < 0) {
            zip_source_free(source);
            std::fprintf(stderr, "zip-folder: cannot add %s: %s\n", name.c_str(),
                         zip_strerror(archive));
            zip_discard(archive);
            return 1;
        }
    }
    if (zip_close(archive) < 0) {
        std::fprintf(stderr, "zip-folder: cannot write %s\n", argv[2]);
        zip_discard(archive);
        return 1;
    }
    return 0;
}
