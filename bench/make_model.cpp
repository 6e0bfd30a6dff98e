// Writes a model file for timing by hand:
//   spindle_make_model FORMAT FACES CURVES FILE    (FORMAT: lwo2, lwob, obj)
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/model_files.h"

int main(int argc, char **argv) {
    benchmodel::Format format;
    if (argc != 5 || !benchmodel::formatNamed(argv[1], format)) {
        std::fprintf(stderr, "usage: spindle_make_model lwo2|lwob|obj FACES CURVES FILE\n");
        return 2;
    }
    benchmodel::Shape shape;
    shape.faces = std::atoll(argv[2]);
    shape.curves = std::atoi(argv[3]);
    const std::string bytes = benchmodel::modelFile(format, shape);
    std::FILE *file = std::fopen(argv[4], "wb");
    if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() || std::fclose(file) != 0) {
        std::fprintf(stderr, "spindle_make_model: cannot write %s\n", argv[4]);
        return 1;
    }
    return 0;
}
