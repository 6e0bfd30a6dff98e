// Checker for module/numerics/, outside the test suite: built natively
// and with both MinGW-w64 compilers by tools/exact_math/run, it evaluates
// every argument of an argument file with the correctly rounded functions,
// with the platform's own std::sin/cos/asin/atan2, and with the fast path
// alone (its double-double value and error bound, for verify.py to compare
// with mpmath), and times both kinds of function.
//
//   check eval ARGS OUT   one line per argument: exact libm hi lo err slow
//   check slow L ARGS OUT the same with every result that has a fast path
//                         taken from the fixed-point path, from level L on
//   check time ARGS       nanoseconds per call, exact and libm
//
// Argument lines are "F SET A [B]" with F one of s c a t (sin, cos, asin,
// atan2(A, B)) and A, B the bit patterns of doubles in hex; output values
// are bit patterns too, "-" where the fast path does not apply.
#include "module/numerics/arctangent.cpp"
#include "module/numerics/asin.cpp"
#include "module/numerics/atan2.cpp"
#include "module/numerics/fixed_point.cpp"
#include "module/numerics/sin_cos.cpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Arg {
    char f;
    double a, b;
    bool timed; // in the sets used for timing
};

double fromBits(const char *text) {
    return std::bit_cast<double>(static_cast<uint64_t>(std::strtoull(text, nullptr, 16)));
}

void putBits(std::string &line, double v) {
    char buf[20];
    const uint64_t u = std::bit_cast<uint64_t>(v);
    for (int i = 0; i < 16; ++i)
        buf[i] = "0123456789abcdef"[(u >> (60 - 4 * i)) & 15];
    buf[16] = ' ';
    line.append(buf, 17);
}

std::vector<Arg> readArgs(const char *path) {
    std::vector<Arg> args;
    FILE *in = std::fopen(path, "r");
    if (in == nullptr) {
        std::fprintf(stderr, "check: cannot open %s\n", path);
        std::exit(2);
    }
    char line[256];
    while (std::fgets(line, sizeof line, in) != nullptr) {
        char f = 0;
        char set[64], a[32], b[32] = "0";
        if (std::sscanf(line, " %c %63s %31s %31s", &f, set, a, b) < 3)
            continue;
        args.push_back({f, fromBits(a), fromBits(b),
                        std::strcmp(set, "pi") == 0 || std::strcmp(set, "unit") == 0 || std::strcmp(set, "dir") == 0});
    }
    std::fclose(in);
    return args;
}

double exact(const Arg &g) {
    switch (g.f) {
    case 's': return spindle::exactSin(g.a);
    case 'c': return spindle::exactCos(g.a);
    case 'a': return spindle::exactAsin(g.a);
    default: return spindle::exactAtan2(g.a, g.b);
    }
}

double libm(const Arg &g) {
    switch (g.f) {
    case 's': return std::sin(g.a);
    case 'c': return std::cos(g.a);
    case 'a': return std::asin(g.a);
    default: return std::atan2(g.a, g.b);
    }
}

// The fast path's value and bound where it applies (for asin and atan2 the
// positive angle, before the sign).
bool fast(const Arg &g, spindle::numerics::Approx &out) {
    using namespace spindle;
    using namespace spindle::numerics;
    const double ax = std::fabs(g.a);
    switch (g.f) {
    case 's':
    case 'c':
        if (!(ax < 0x1p20) || ax < (g.f == 's' ? 0x1p-26 : 0x1p-27))
            return false;
        out = sinCosFast(g.a, g.f == 'c');
        return true;
    case 'a':
        if (!(ax < 1.0) || ax < 0x1p-26)
            return false;
        out = asinFast(ax);
        return true;
    default: {
        const double bx = std::fabs(g.b);
        if (!std::isfinite(ax) || !std::isfinite(bx) || ax == 0.0 || bx == 0.0)
            return false;
        if ((ax > bx ? bx / ax : ax / bx) < 0x1p-55)
            return false;
        double ys, xs;
        out = atan2Fast(ax, bx, std::signbit(g.b), ys, xs);
        return true;
    }
    }
}

// The fixed-point path alone, from level `first` on.
double slowOnly(const Arg &g, int first) {
    using namespace spindle;
    using namespace spindle::numerics;
    spindle::numerics::Approx a;
    if (!fast(g, a))
        return exact(g);
    switch (g.f) {
    case 's':
    case 'c': return slowSinCos(g.a, g.f == 'c', first);
    case 'a': return slowAsin(g.a, a, first);
    default: {
        double ys, xs;
        const double ax = std::fabs(g.a), bx = std::fabs(g.b);
        const bool xNegative = std::signbit(g.b);
        const Approx angle = atan2Fast(ax, bx, xNegative, ys, xs);
        return slowAngle(ys, xNegative ? -xs : xs, angle, std::signbit(g.a), first);
    }
    }
}

int evaluate(const char *argsPath, const char *outPath, int slowFrom) {
    const std::vector<Arg> args = readArgs(argsPath);
    FILE *out = std::fopen(outPath, "wb");
    if (out == nullptr)
        return 2;
    for (const Arg &g : args) {
        std::string line;
        const uint64_t slowBefore = spindle::exactMathCounts.slowPath;
        putBits(line, slowFrom < 0 ? exact(g) : slowOnly(g, slowFrom));
        const bool slow = spindle::exactMathCounts.slowPath != slowBefore;
        putBits(line, libm(g));
        spindle::numerics::Approx a;
        if (fast(g, a)) {
            putBits(line, a.hi);
            putBits(line, a.lo);
            putBits(line, a.err);
        } else {
            line += "- - - ";
        }
        line += slow ? "1\n" : "0\n";
        std::fputs(line.c_str(), out);
    }
    std::fclose(out);
    std::printf("%zu arguments, %llu slow paths, %llu undecided\n", args.size(),
                static_cast<unsigned long long>(spindle::exactMathCounts.slowPath),
                static_cast<unsigned long long>(spindle::exactMathCounts.undecided));
    return 0;
}

volatile double sink;

template <typename F>
double nanosPerCall(const std::vector<Arg> &args, char f, F fn) {
    std::vector<Arg> subset;
    for (const Arg &g : args)
        if (g.f == f && g.timed)
            subset.push_back(g);
    if (subset.empty())
        return 0.0;
    double best = 1e30;
    for (int round = 0; round < 5; ++round) {
        const auto t0 = std::chrono::steady_clock::now();
        double acc = 0.0;
        for (const Arg &g : subset)
            acc += fn(g);
        const auto t1 = std::chrono::steady_clock::now();
        sink = acc;
        const double ns = std::chrono::duration<double, std::nano>(t1 - t0).count() / subset.size();
        if (ns < best)
            best = ns;
    }
    return best;
}

int timeAll(const char *argsPath) {
    const std::vector<Arg> args = readArgs(argsPath);
    const char *names[] = {"sin", "cos", "asin", "atan2"};
    const char kinds[] = {'s', 'c', 'a', 't'};
    for (int k = 0; k < 4; ++k) {
        const double e = nanosPerCall(args, kinds[k], exact);
        const double l = nanosPerCall(args, kinds[k], libm);
        std::printf("%-6s exact %6.1f ns  libm %6.1f ns\n", names[k], e, l);
    }
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 4 && std::strcmp(argv[1], "eval") == 0)
        return evaluate(argv[2], argv[3], -1);
    if (argc == 5 && std::strcmp(argv[1], "slow") == 0)
        return evaluate(argv[3], argv[4], std::atoi(argv[2]));
    if (argc == 3 && std::strcmp(argv[1], "time") == 0)
        return timeAll(argv[2]);
    std::fprintf(stderr, "usage: check eval ARGS OUT | check slow LEVEL ARGS OUT | check time ARGS\n");
    return 2;
}
