// Writes a model file for timing by hand:
//   spindle_make_model FORMAT FACES CURVES FILE [RIG]
// FORMAT: lwo2, lwob, obj; RIG, where the curves stand against the quads
// (bench/model_files.h): helix (the default), corner, spread, inside, ground.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/model_files.h"

int main(int argc, char **argv) {
    benchmodel::Format format;
    benchmodel::Shape shape;
    if (argc < 5 || argc > 6 || !benchmodel::formatNamed(argv[1], format) ||
        (argc == 6 && !benchmodel::rigNamed(argv[5], shape.rig))) {
        std::fprintf(stderr,
                     "usage: spindle_make_model lwo2|lwob|obj FACES CURVES FILE [helix|corner|spread|inside|ground]\n");
        return 2;
    }
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
