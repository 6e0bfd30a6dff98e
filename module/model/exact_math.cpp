// Correctly rounded sin, cos, asin and atan2 (see exact_math.h).
//
// Every function first evaluates in double-double: a result h + l and a
// bound E on |f(x) - (h + l)| that covers every rounding error and every
// neglected term.  If h + (l - E) and h + (l + E) round to the same double,
// so does f(x), and that double is returned (Ziv's test).  Otherwise, about
// once in 50,000 calls for random arguments (relative bounds near 2^-70),
// the value is evaluated again in fixed point (32-bit words, 160 bits and
// up) with its own error bound, at growing precision until the rounding is
// decided.  The exact values are transcendental for every argument that
// gets this far, so they never sit on a rounding boundary and the loop
// ends; the published worst cases for doubles are decided at 160 bits, and
// the last precision, 736 bits, is far beyond them.
//
// Only + - * / and sqrt of doubles and integer arithmetic are used, all
// exactly rounded by IEEE 754; the exact-product tricks (Dekker's product,
// Knuth's sum) need every operation rounded to a double on its own, so this
// file must be compiled without contraction into fused multiply-adds and,
// on 32-bit x86, with SSE2 doubles.
#include "module/model/exact_math.h"

#include <bit>
#include <cmath>
#include <cstdint>

namespace spindle {

ExactMathCounts exactMathCounts;

namespace {

// ---- double-double ---------------------------------------------------------

struct DD {
    double hi, lo;
};

// s + e = a + b exactly.
inline DD twoSum(double a, double b) {
    const double s = a + b;
    const double bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

// s + e = a + b exactly, provided |a| >= |b| or a = 0.
inline DD fastTwoSum(double a, double b) {
    const double s = a + b;
    return {s, b - (s - a)};
}

// hi + lo = a, each with at most 26 significant bits (|a| < 2^995).
inline DD split(double a) {
    const double c = 134217729.0 * a; // 2^27 + 1
    const double hi = c - (c - a);
    return {hi, a - hi};
}

// p + e = a * b exactly, barring overflow and underflow (Dekker).
inline DD twoProd(double a, double b) {
    const double p = a * b;
    const DD x = split(a);
    const DD y = split(b);
    return {p, ((x.hi * y.hi - p) + x.hi * y.lo + x.lo * y.hi) + x.lo * y.lo};
}

// a / b, relative error below 2^-100.
inline DD divide(DD a, DD b) {
    const double q = a.hi / b.hi;
    const DD m = twoProd(q, b.hi);
    return fastTwoSum(q, (((a.hi - m.hi) - m.lo) + a.lo - q * b.lo) / b.hi);
}

// 2^e for -1022 <= e <= 1023.
inline double pow2(int e) { return std::bit_cast<double>(static_cast<uint64_t>(e + 1023) << 52); }

// A double-double value h + lo and a bound on its distance from the exact one.
struct Approx {
    double hi, lo, err;
};

// The double that every value within err of hi + lo rounds to, in out; false
// when they do not all round to one.  |lo| <= ulp(hi).  The small extra
// margin covers the rounding of lo +- err.
inline bool decide(const Approx &a, double &out) {
    const double e = a.err + 0x1p-104 * std::fabs(a.hi);
    const double below = a.hi + (a.lo - e);
    const double above = a.hi + (a.lo + e);
    out = below;
    return below == above;
}

// ---- constants (printed by bench/exact_math/tables.py) -------------------

// pi/2 = P1 + P2 + P3 + P4 (32, 32, 32 and 53 significant bits), residual 7.4e-49
constexpr double kPio2Part1 = 0x1.921fb54400000p+0;
constexpr double kPio2Part2 = 0x1.0b4611a600000p-34;
constexpr double kPio2Part3 = 0x1.3198a2e000000p-69;
constexpr double kPio2Part4 = 0x1.b839a252049c1p-104;
constexpr DD kPi{0x1.921fb54442d18p+1, 0x1.1a62633145c07p-53};
constexpr DD kPio2{0x1.921fb54442d18p+0, 0x1.1a62633145c07p-54};
constexpr double kTwoOverPi = 0x1.45f306dc9c883p-1;
// sin(i/64) and cos(i/64), i = 0..51, each as hi + lo
constexpr DD kSinTable[52][2] = {
    {{0.0, 0.0}, {0x1p+0, 0.0}},
    {{0x1.fffaaaaeeeed5p-7, -0x1.2ab639a9f0776p-63}, {0x1.fff000155549fp-1, 0x1.28a28a03a5ef3p-55}},
    {{0x1.ffeaaaeeee86fp-6, -0x1.cd406fb224ae2p-60}, {0x1.ffc00155527d3p-1, -0x1.3b54492d89b5bp-55}},
    {{0x1.7fdc01032fba9p-5, -0x1.599bdf46e997ap-59}, {0x1.ff7006bfdf99fp-1, -0x1.8b3b560648d5fp-56}},
    {{0x1.ffaaaeeed4edbp-5, -0x1.2d16d32684b69p-59}, {0x1.ff0015549f4d3p-1, 0x1.328387b99426fp-55}},
    {{0x1.3facb12d1755bp-4, -0x1.921915299468bp-58}, {0x1.fe7034129ef6fp-1, -0x1.cbf4337c96f97p-57}},
    {{0x1.7f701032550e4p-4, 0x1.afc2d1800501ap-60}, {0x1.fdc06bf7e6b9bp-1, 0x1.31902b535f8dbp-55}},
    {{0x1.bf1b78568391dp-4, 0x1.e91841dea4cc8p-58}, {0x1.fcf0c800e99b1p-1, 0x1.ea3d786d186acp-57}},
    {{0x1.feaaeee86ee36p-4, -0x1.afcb2bcc6f03bp-59}, {0x1.fc015527d5bd3p-1, 0x1.b68f35094efb8p-55}},
    {{0x1.1f0d3d7afceafp-3, -0x1.6ef95099769a5p-57}, {0x1.faf22263c4bd3p-1, -0x1.52ace133a2769p-58}},
    {{0x1.3eb312c5d66cbp-3, 0x1.47d666b66cb91p-57}, {0x1.f9c340a7cc428p-1, 0x1.c5b6b063b7462p-55}},
    {{0x1.5e44fcfa126f3p-3, -0x1.6f443063f89b6p-57}, {0x1.f874c2e1eecf6p-1, -0x1.c6514e1332b16p-55}},
    {{0x1.7dc102fbaf2b5p-3, 0x1.5ab50e23c97c3p-59}, {0x1.f706bdf9ece1cp-1, -0x1.698c80c36dcb4p-55}},
    {{0x1.9d252d0cec312p-3, 0x1.9c43d80b1137dp-58}, {0x1.f57948cff6797p-1, 0x1.e3a0d3e03b1d4p-57}},
    {{0x1.bc6f84edc6199p-3, 0x1.9c1a56a7b0cabp-57}, {0x1.f3cc7c3b3d16ep-1, -0x1.21a3ad28a3494p-57}},
    {{0x1.db9e15fb5a5d0p-3, -0x1.32e20d6cc6fc2p-57}, {0x1.f20073086649fp-1, 0x1.b940416c1984bp-56}},
    {{0x1.faaeed4f31577p-3, -0x1.15d88508e32b8p-57}, {0x1.f01549f7deea1p-1, 0x1.d3c1e99e5cafdp-55}},
    {{0x1.0cd00cef36436p-2, -0x1.9fb0a0c93e2b4p-56}, {0x1.ee0b1fbc0f11cp-1, -0x1.bfd2380bbc3b1p-59}},
    {{0x1.1c37d64c6b876p-2, 0x1.46076fe0dcff4p-56}, {0x1.ebe214f76efa8p-1, -0x1.02f9f12ba543ep-55}},
    {{0x1.2b8ddc43eb49fp-2, 0x1.1553899f2d807p-57}, {0x1.e99a4c3a7cd83p-1, -0x1.2264b1bc53ce8p-55}},
    {{0x1.3ad129769d3d8p-2, 0x1.03d550487839ap-63}, {0x1.e733ea0193d40p-1, -0x1.6428b3546ce13p-55}},
    {{0x1.4a00c9b0f3d20p-2, 0x1.823ba6bb08eadp-56}, {0x1.e4af14b2a449cp-1, -0x1.68ca02e8a6833p-55}},
    {{0x1.591bc9fa2f597p-2, 0x1.7c74bac3fe0cbp-57}, {0x1.e20bf49acd6c1p-1, -0x1.660aec7ef636bp-58}},
    {{0x1.682138a38d7f7p-2, -0x1.d889202444aadp-56}, {0x1.df4ab3ebd875ep-1, -0x1.e2d8a7e6736c4p-55}},
    {{0x1.7710255764214p-2, -0x1.6ead7314bb6cep-57}, {0x1.dc6b7eb995912p-1, 0x1.4b364776dcd35p-58}},
    {{0x1.85e7a12826949p-2, 0x1.8a40e9b5face0p-56}, {0x1.d96e82f71a9dcp-1, 0x1.ff61bd5d2039dp-55}},
    {{0x1.94a6be9f546c5p-2, -0x1.69ce13e683f58p-56}, {0x1.d653f073e4040p-1, -0x1.76236434bec37p-55}},
    {{0x1.a34c91cc50ccap-2, -0x1.a310e3b50cecdp-58}, {0x1.d31bf8d8d7c06p-1, 0x1.e60dd3089cbddp-56}},
    {{0x1.b1d8305321617p-2, -0x1.ae242cb99f519p-56}, {0x1.cfc6cfa52ad9fp-1, 0x1.8b5b5508f2a0dp-55}},
    {{0x1.c048b17b140a3p-2, 0x1.19fe6757e9fa7p-57}, {0x1.cc54aa2b2972ep-1, 0x1.4ee162ba83a98p-57}},
    {{0x1.ce9d2e3d4a51fp-2, -0x1.2fc8a12dae298p-57}, {0x1.c8c5bf8ce1a84p-1, 0x1.ab3d1a1590123p-56}},
    {{0x1.dcd4c15329c9ap-2, 0x1.0d4c6e171fd9ap-56}, {0x1.c51a48b8b175ep-1, -0x1.1bbb43b9aa880p-57}},
    {{0x1.eaee8744b05f0p-2, -0x1.789b43c9b027dp-58}, {0x1.c1528065b7d50p-1, -0x1.892111312e828p-55}},
    {{0x1.f8e99e76abc97p-2, 0x1.9d950af2d00a3p-58}, {0x1.bd6ea310294f5p-1, 0x1.31bbcc88c109dp-56}},
    {{0x1.0362939c69955p-1, -0x1.2d8cd78397b01p-55}, {0x1.b96eeef58840ep-1, 0x1.45a3cc78fade0p-58}},
    {{0x1.0a4021e9e1001p-1, -0x1.6f643a13914f6p-55}, {0x1.b553a410c104ep-1, 0x1.8ff7947027a15p-58}},
    {{0x1.110d0c4b69c3bp-1, 0x1.d918998809981p-55}, {0x1.b11d04162a4c6p-1, 0x1.1dd561efbc0c2p-56}},
    {{0x1.17c8e5f2eedb0p-1, 0x1.35e57102e2488p-57}, {0x1.accb526f69de5p-1, 0x1.8fb6a8dd6b6ccp-55}},
    {{0x1.1e7343236574cp-1, 0x1.22a3fa4f41d5ap-56}, {0x1.a85ed4373e02dp-1, 0x1.9be06385ec792p-57}},
    {{0x1.250bb93788bbbp-1, 0x1.ea3d02457bccep-56}, {0x1.a3d7d0352bdcfp-1, -0x1.68dbaeca19669p-55}},
    {{0x1.2b91dea88421ep-1, -0x1.fa371db216ab0p-55}, {0x1.9f368ed912f85p-1, -0x1.1d200c5791606p-55}},
    {{0x1.32054b148bc4fp-1, 0x1.f6b42095a135bp-55}, {0x1.9a7b5a36a6514p-1, 0x1.722cfcc9fa7a9p-55}},
    {{0x1.386597456282bp-1, -0x1.10fada93b07a8p-56}, {0x1.95a67e00cb1fdp-1, -0x1.0befda21f862dp-55}},
    {{0x1.3eb25d36cd53ap-1, -0x1.be570e1570fc0p-58}, {0x1.90b84784ddaf7p-1, -0x1.0feb10ab93b87p-56}},
    {{0x1.44eb381cf386bp-1, -0x1.3ed6c1e6a5505p-55}, {0x1.8bb105a5dc900p-1, 0x1.863e03e9474c1p-55}},
    {{0x1.4b0fc46aab761p-1, 0x1.0da05738cc59cp-61}, {0x1.869108d77a6c6p-1, 0x1.338ffe2bfe9ddp-56}},
    {{0x1.511f9fd7b351cp-1, -0x1.5c0e861c48831p-55}, {0x1.8158a31916d5dp-1, -0x1.de8b90b8228dep-57}},
    {{0x1.571a6966d59b3p-1, 0x1.c843b4d0fb197p-58}, {0x1.7c0827f09e54fp-1, -0x1.c73d6d72aee68p-57}},
    {{0x1.5cffc16bf8f0dp-1, 0x1.96cb370eb578ap-55}, {0x1.769fec655211fp-1, -0x1.827d5cf8c68c5p-57}},
    {{0x1.62cf49921ac79p-1, -0x1.edd9855b6241ap-55}, {0x1.712046fa77678p-1, 0x1.425b0a5029c81p-55}},
    {{0x1.6888a4e134b2fp-1, -0x1.6b7d37644d5e6p-55}, {0x1.6b898fa9efb5dp-1, 0x1.15ac786ccf4b2p-56}},
    {{0x1.6e2b77c40bde1p-1, -0x1.0e729857fad53p-56}, {0x1.65dc1fdeb8cbap-1, -0x1.97c1b47337c77p-58}},
};
// atan(j/64), j = 0..64, as hi + lo
constexpr DD kAtanTable[65] = {
    {0.0, 0.0},
    {0x1.fff555bbb729bp-7, -0x1.220c39d4dff50p-61},
    {0x1.ffd55bba97625p-6, -0x1.5ec431444912cp-60},
    {0x1.7fb818430da2ap-5, -0x1.86ef8f794f105p-63},
    {0x1.ff55bb72cfdeap-5, -0x1.c934d86d23f1dp-60},
    {0x1.3f59f0e7c559dp-4, 0x1.ac4ce285df847p-58},
    {0x1.7ee182602f10fp-4, -0x1.cfb654c0c3d98p-58},
    {0x1.be39ebe6f07c3p-4, 0x1.f7b8f29a05987p-58},
    {0x1.fd5ba9aac2f6ep-4, -0x1.cd37686760c17p-59},
    {0x1.1e1fafb043727p-3, -0x1.b485914dacf8cp-59},
    {0x1.3d6eee8c6626cp-3, 0x1.61a3b0ce9281bp-57},
    {0x1.5c9811e3ec26ap-3, -0x1.054ab2c010f3dp-58},
    {0x1.7b97b4bce5b02p-3, 0x1.347b0b4f881cap-58},
    {0x1.9a6a8e96c8626p-3, 0x1.cf601e7b4348ep-59},
    {0x1.b90d7529260a2p-3, 0x1.17b10d2e0e5abp-61},
    {0x1.d77d5df205736p-3, 0x1.c648d1534597ep-57},
    {0x1.f5b75f92c80ddp-3, 0x1.8ab6e3cf7afbdp-57},
    {0x1.09dc597d86362p-2, 0x1.62e47390cb865p-56},
    {0x1.18bf5a30bf178p-2, 0x1.30ca4748b1bf9p-57},
    {0x1.278372057ef46p-2, -0x1.077cdd36dfc81p-56},
    {0x1.362773707ebccp-2, -0x1.963a544b672d8p-57},
    {0x1.44aa436c2af0ap-2, -0x1.5d5e43c55b3bap-56},
    {0x1.530ad9951cd4ap-2, -0x1.2566480884082p-57},
    {0x1.614840309cfe2p-2, -0x1.a725715711f00p-56},
    {0x1.6f61941e4def1p-2, -0x1.c63aae6f6e918p-56},
    {0x1.7d5604b63b3f7p-2, 0x1.69c885c2b249ap-56},
    {0x1.8b24d394a1b25p-2, 0x1.b6d0ba3748fa8p-56},
    {0x1.98cd5454d6b18p-2, 0x1.9e6c988fd0a77p-56},
    {0x1.a64eec3cc23fdp-2, -0x1.24dec1b50b7ffp-56},
    {0x1.b3a911da65c6cp-2, 0x1.ae187b1ca5040p-56},
    {0x1.c0db4c94ec9f0p-2, -0x1.cc1ce70934c34p-56},
    {0x1.cde53432c1351p-2, -0x1.a2cfa4418f1adp-56},
    {0x1.dac670561bb4fp-2, 0x1.a2b7f222f65e2p-56},
    {0x1.e77eb7f175a34p-2, 0x1.0e53dc1bf3435p-56},
    {0x1.f40dd0b541418p-2, -0x1.a3992dc382a23p-57},
    {0x1.0039c73c1a40cp-1, -0x1.b32c949c9d593p-55},
    {0x1.0657e94db30d0p-1, -0x1.d5b495f6349e6p-56},
    {0x1.0c6145b5b43dap-1, 0x1.974fa13b5404fp-58},
    {0x1.1255d9bfbd2a9p-1, -0x1.2bdaee1c0ee35p-58},
    {0x1.1835a88be7c13p-1, 0x1.c621cec00c301p-55},
    {0x1.1e00babdefeb4p-1, -0x1.928df287a668fp-58},
    {0x1.23b71e2cc9e6ap-1, 0x1.c421c9f38224ep-57},
    {0x1.2958e59308e31p-1, -0x1.09e73b0c6c087p-56},
    {0x1.2ee628406cbcap-1, 0x1.c5d5e9ff0cf8dp-55},
    {0x1.345f01cce37bbp-1, 0x1.1021137c71102p-55},
    {0x1.39c391cd4171ap-1, -0x1.2304331d8bf46p-55},
    {0x1.3f13fb89e96f4p-1, 0x1.ecf8b492644f0p-56},
    {0x1.445065b795b56p-1, -0x1.f76d0163f79c8p-56},
    {0x1.4978fa3269ee1p-1, 0x1.2419a87f2a458p-56},
    {0x1.4e8de5bb6ec04p-1, 0x1.4a33dbeb3796cp-55},
    {0x1.538f57b89061fp-1, -0x1.1bb74abda520cp-55},
    {0x1.587d81f732fbbp-1, -0x1.5e5c9d8c5a950p-56},
    {0x1.5d58987169b18p-1, 0x1.0028e4bc5e7cap-57},
    {0x1.6220d115d7b8ep-1, -0x1.2b785350ee8c1p-57},
    {0x1.66d663923e087p-1, -0x1.6ea6febe8bbbap-56},
    {0x1.6b798920b3d99p-1, -0x1.a80386188c50ep-55},
    {0x1.700a7c5784634p-1, -0x1.8c34d25aadef6p-56},
    {0x1.748978fba8e0fp-1, 0x1.7b2a6165884a1p-59},
    {0x1.78f6bbd5d315ep-1, 0x1.406a089803740p-55},
    {0x1.7d528289fa093p-1, 0x1.560821e2f3aa9p-55},
    {0x1.819d0b7158a4dp-1, -0x1.bf76229d3b917p-56},
    {0x1.85d69576cc2c5p-1, 0x1.6b66e7fc8b8c3p-57},
    {0x1.89ff5ff57f1f8p-1, -0x1.55b9a5e177a1bp-55},
    {0x1.8e17aa99cc05ep-1, -0x1.ec182ab042f61p-56},
    {0x1.921fb54442d18p-1, 0x1.1a62633145c07p-55},
};
// pi/2 in fixed point: word 0 is the integer part, word k weighs 2^(-32k); truncated
constexpr uint32_t kPio2Words[26] = {
    0x00000001, 0x921fb544, 0x42d18469, 0x898cc517, 0x01b839a2, 0x52049c11, 0x14cf98e8, 0x04177d4c, 0x76273644,
    0xa29410f3, 0x1c6809bb, 0xdf2a3367, 0x9a748636, 0x605614db, 0xe4be286e, 0x9fc26ada, 0xdaa3848b, 0xc90b6aec,
    0xc4bcfd8d, 0xe89885d3, 0x4c6fdad6, 0x17feb96d, 0xe80d6fdb, 0xdc70d7f6, 0xb5133f4b, 0x5d3e4822,
};

// ---- sine and cosine in double-double ---------------------------------------

// sin(x) (cosine false) or cos(x) (cosine true) for 2^-27 <= |x| < 2^20.
//
// x = r + k pi/2 with k the integer nearest x * 2/pi: kd P1 is exact (k has
// at most 20 bits, P1 32), so is x - kd P1 (both are multiples of the
// smaller ulp and the difference is below 1); the other parts are taken off
// with exact sums, so r = rh + rl is off by at most 2^-102 |r| + 2^-144 |k|.
// Then |r| = i/64 + z with |z| <= 1/128 + tiny, and
//   sin(i/64 + z) = S + C z + S (cos z - 1) + C (sin z - z),
//   cos(i/64 + z) = C - S z + C (cos z - 1) - S (sin z - z),
// with S, C = sin, cos(i/64) from the table (relative error 2^-106).  The
// products C z and S z^2 and z^2 itself are exact; what is left is below
// 2^-23 and summed in double, smallest first: rounding errors below 2^-70
// of the result except in the evaluation of sin z - z ~ z^3/6 (relative
// error below 8 ulps), hence the bound 2^-70 |f| + 2^-50 |z|^3 + reduction.
Approx sinCosFast(double x, bool cosine) {
    double rh = x, rl = 0.0, err = 0.0;
    int quadrant = 0;
    if (!(std::fabs(x) <= 0x1.921fb54442d18p-1)) {
        const double kd = (x * kTwoOverPi + 0x1.8p52) - 0x1.8p52;
        const double t = x - kd * kPio2Part1;
        const DD s1 = twoSum(t, -kd * kPio2Part2);
        const DD s2 = twoSum(s1.hi, -kd * kPio2Part3);
        const DD r = twoSum(s2.hi, (s1.lo + s2.lo) - kd * kPio2Part4);
        rh = r.hi;
        rl = r.lo;
        err = 0x1p-102 * std::fabs(rh) + 0x1p-144 * std::fabs(kd);
        quadrant = static_cast<int>(static_cast<int64_t>(kd) & 3);
    }
    // f(x) = sin(r + n pi/2): n = 1 is cos r, n = 2 is -sin r, n = 3 is -cos r.
    const int n = quadrant + (cosine ? 1 : 0);
    const bool wantCos = (n & 1) != 0;
    const bool rNegative = rh < 0.0;
    const double ar = std::fabs(rh);
    const double zl = rNegative ? -rl : rl;
    int i = static_cast<int>(ar * 64.0 + 0.5);
    // ar * 64 + 0.5 rounds up to 1 just below ar = 1/128, where ar - 1/64
    // would not be exact; elsewhere i/128 <= ar <= i/32 makes it exact
    if (i == 1 && ar < 0x1p-7)
        i = 0;
    const double zh = ar - i * 0x1p-6;
    const DD z2 = twoProd(zh, zh);
    // sin z - z and cos z - 1 + z^2/2, less their parts in zl
    const double z2h = z2.hi;
    const double ps = z2h *
        (-0x1.5555555555555p-3 +
         z2h * (0x1.1111111111111p-7 + z2h * (-0x1.a01a01a01a01ap-13 + z2h * 0x1.71de3a556c734p-19)));
    const double sinTail = zh * ps - 0.5 * z2h * zl;
    const double pc4 =
        z2h * z2h * (0x1.5555555555555p-5 + z2h * (-0x1.6c16c16c16c17p-10 + z2h * 0x1.a01a01a01a01ap-16));
    DD f;
    if (i == 0) {
        if (!wantCos) {
            f = fastTwoSum(zh, zl + sinTail);
        } else {
            const DD a = fastTwoSum(1.0, -0.5 * z2h);
            f = fastTwoSum(a.hi, a.lo + ((pc4 - (0.5 * z2.lo + zh * zl))));
        }
    } else {
        const DD s = kSinTable[i][0];
        const DD c = kSinTable[i][1];
        // sin: base S, slope C, curvature S; cos: base C, slope -S, curvature C
        const DD base = wantCos ? c : s;
        const DD slope = wantCos ? DD{-s.hi, -s.lo} : c;
        const DD p = twoProd(slope.hi, zh);
        const DD q = twoProd(base.hi, z2h);
        const DD a = twoSum(base.hi, p.hi);
        const DD b = twoSum(a.hi, -0.5 * q.hi);
        double small = (base.lo + p.lo) + (slope.lo * zh + slope.hi * zl);
        small -= 0.5 * q.lo + base.hi * (0.5 * z2.lo + zh * zl) + 0.5 * base.lo * z2h;
        small += a.lo + b.lo;
        small += base.hi * pc4;
        small += slope.hi * sinTail;
        f = fastTwoSum(b.hi, small);
    }
    const bool negate = ((n & 2) != 0) != (!wantCos && rNegative);
    const double az = std::fabs(zh);
    err += 0x1p-70 * std::fabs(f.hi) + 0x1p-50 * (az * az * az);
    return negate ? Approx{-f.hi, -f.lo, err} : Approx{f.hi, f.lo, err};
}

// ---- arctangent in double-double --------------------------------------------

// atan(u / v) for 0 <= u <= v (up to rounding), v in [1/2, 2] and u / v at
// least 2^-57, u and v double-doubles with relative error below 2^-100.
//
// With t_j = j/64 the nearest table point, atan(u/v) = atan(t_j) + atan(w),
// w = (u - t_j v) / (v + t_j u), |w| <= 1/128 + tiny: the products t_j v and
// t_j u are exact, the quotient good to 2^-100.  atan(w) - w ~ -w^3/3 is
// the only part summed in double with a relative error of a few ulps, hence
// the bound 2^-70 |atan| + 2^-50 |w|^3.
Approx atanFast(DD u, DD v) {
    const int j = static_cast<int>((u.hi / v.hi) * 64.0 + 0.5);
    DD num = u;
    DD den = v;
    if (j != 0) {
        const double tj = j * 0x1p-6;
        const DD pv = twoProd(tj, v.hi);
        const DD n1 = twoSum(u.hi, -pv.hi);
        num = twoSum(n1.hi, n1.lo + ((u.lo - pv.lo) - tj * v.lo));
        const DD pu = twoProd(tj, u.hi);
        const DD d1 = twoSum(v.hi, pu.hi);
        den = fastTwoSum(d1.hi, d1.lo + ((v.lo + pu.lo) + tj * u.lo));
    }
    const DD w = divide(num, den);
    const double w2 = w.hi * w.hi;
    const double pa = w2 *
        (-0x1.5555555555555p-2 +
         w2 *
             (0x1.999999999999ap-3 +
              w2 * (-0x1.2492492492492p-3 + w2 * (0x1.c71c71c71c71cp-4 - w2 * 0x1.745d1745d1746p-4))));
    const DD base = kAtanTable[j];
    const DD a = twoSum(base.hi, w.hi);
    const DD f = fastTwoSum(a.hi, a.lo + (base.lo + w.lo) + (w.hi * pa - w2 * w.lo));
    const double aw = std::fabs(w.hi);
    return {f.hi, f.lo, 0x1p-70 * std::fabs(f.hi) + 0x1p-50 * (aw * aw * aw)};
}

// c + s * a for c = 0, pi/2 or pi and s = +-1; the sum's own error is below
// 2^-102 of it.
Approx offsetAngle(const DD &c, bool subtract, const Approx &a) {
    const double h = subtract ? -a.hi : a.hi;
    const double l = subtract ? -a.lo : a.lo;
    const DD s = twoSum(c.hi, h);
    const DD f = fastTwoSum(s.hi, s.lo + (c.lo + l));
    return {f.hi, f.lo, a.err + 0x1p-102 * std::fabs(f.hi)};
}

// sqrt(1 - x^2) for 0 <= x < 1, relative error below 2^-100.
DD sqrtOneMinusSquare(double x) {
    DD s;
    if (x >= 0.5) {
        // 1 - x is exact; (1 + x) exact as a sum
        const double a = 1.0 - x;
        const DD b = fastTwoSum(1.0, x);
        const DD p = twoProd(a, b.hi);
        s = fastTwoSum(p.hi, p.lo + a * b.lo);
    } else {
        const DD p = twoProd(x, x);
        const DD d = fastTwoSum(1.0, -p.hi);
        s = fastTwoSum(d.hi, d.lo - p.lo);
    }
    const double c = std::sqrt(s.hi);
    const DD m = twoProd(c, c);
    return fastTwoSum(c, (((s.hi - m.hi) - m.lo) + s.lo) / (2.0 * c));
}

// asin(x) for 2^-26 <= x < 1: atan(x / sqrt(1 - x^2)), or pi/2 less the
// arctangent of the inverse ratio when x > sqrt(1 - x^2).
Approx asinFast(double x) {
    const DD c = sqrtOneMinusSquare(x);
    if (x <= c.hi)
        return atanFast({x, 0.0}, c);
    return offsetAngle(kPio2, true, atanFast(c, {x, 0.0}));
}

// atan2 of a point with coordinates a = |y| and b = |x| (finite, nonzero,
// neither below 2^-55 of the other): the angle in (0, pi).  Both are scaled
// by one power of two (exactly: the smaller stays normal) so that the larger
// is in [1, 2), returned in ys and xs (as |y| and |x|).  The angle is
// atan(small/large) from pi/2 (steep) and pi (x < 0).
Approx atan2Fast(double a, double b, bool xNegative, double &ys, double &xs) {
    double scale = 1.0;
    const double larger = a > b ? a : b;
    if (larger >= 0x1p512)
        scale = 0x1p-600;
    else if (larger < 0x1p-512)
        scale = 0x1p600;
    a *= scale;
    b *= scale;
    const int e = static_cast<int>(std::bit_cast<uint64_t>(larger * scale) >> 52) - 1023;
    const double unit = pow2(-e);
    ys = a * unit;
    xs = b * unit;
    if (ys > xs) {
        // pi/2 - atan(x/y) for x > 0, pi/2 + atan(x/y) for x < 0
        return offsetAngle(kPio2, !xNegative, atanFast({xs, 0.0}, {ys, 0.0}));
    }
    const Approx base = atanFast({ys, 0.0}, {xs, 0.0});
    return xNegative ? offsetAngle(kPi, true, base) : base;
}

// ---- fixed point -------------------------------------------------------------

// A signed fixed-point number of n words (n <= kWords): word 0 is the
// integer part, word k weighs 2^(-32k).  "ulp" below is 2^(-32(n-1)).
constexpr int kWords = 24;
constexpr int kLevels[] = {6, 9, 14, kWords};
constexpr int kLevelCount = 4;

struct Fixed {
    uint32_t w[kWords] = {};
    bool negative = false;
};

// x exactly when |x| < 2^32 and x has no bit below the last word, else
// truncated toward zero (error below 1 ulp).
Fixed toFixed(double x, int n) {
    Fixed r;
    r.negative = x < 0.0;
    double a = std::fabs(x);
    r.w[0] = static_cast<uint32_t>(a);
    a -= r.w[0];
    for (int k = 1; k < n && a != 0.0; ++k) {
        a *= 0x1p32;
        r.w[k] = static_cast<uint32_t>(a);
        a -= r.w[k];
    }
    return r;
}

int compareMagnitude(const Fixed &a, const Fixed &b, int n) {
    for (int k = 0; k < n; ++k)
        if (a.w[k] != b.w[k])
            return a.w[k] < b.w[k] ? -1 : 1;
    return 0;
}

// a + b, exact (the integer part must not overflow).
Fixed add(const Fixed &a, const Fixed &b, int n) {
    Fixed r;
    if (a.negative == b.negative) {
        uint64_t carry = 0;
        for (int k = n - 1; k >= 0; --k) {
            carry += static_cast<uint64_t>(a.w[k]) + b.w[k];
            r.w[k] = static_cast<uint32_t>(carry);
            carry >>= 32;
        }
        r.negative = a.negative;
        return r;
    }
    const bool aLarger = compareMagnitude(a, b, n) >= 0;
    const Fixed &big = aLarger ? a : b;
    const Fixed &little = aLarger ? b : a;
    uint64_t borrow = 0;
    for (int k = n - 1; k >= 0; --k) {
        const uint64_t d = static_cast<uint64_t>(big.w[k]) - little.w[k] - borrow;
        r.w[k] = static_cast<uint32_t>(d);
        borrow = d >> 63;
    }
    r.negative = big.negative;
    return r;
}

Fixed negated(Fixed a) {
    a.negative = !a.negative;
    return a;
}

Fixed subtract(const Fixed &a, const Fixed &b, int n) { return add(a, negated(b), n); }

// a * b truncated toward zero (error below 1 ulp); |a|, |b| < 2^16.
Fixed multiply(const Fixed &a, const Fixed &b, int n) {
    uint64_t acc[2 * kWords] = {};
    for (int i = 0; i < n; ++i) {
        if (a.w[i] == 0)
            continue;
        for (int j = 0; j < n; ++j) {
            const uint64_t p = static_cast<uint64_t>(a.w[i]) * b.w[j];
            acc[i + j] += p & 0xffffffffu;
            if (i + j > 0)
                acc[i + j - 1] += p >> 32;
        }
    }
    for (int k = 2 * n - 1; k > 0; --k) {
        acc[k - 1] += acc[k] >> 32;
        acc[k] &= 0xffffffffu;
    }
    Fixed r;
    for (int k = 0; k < n; ++k)
        r.w[k] = static_cast<uint32_t>(acc[k]);
    r.negative = a.negative != b.negative;
    return r;
}

// a / d truncated toward zero (error below 1 ulp).
Fixed divide(const Fixed &a, uint32_t d, int n) {
    Fixed r;
    uint64_t rest = 0;
    for (int k = 0; k < n; ++k) {
        const uint64_t cur = (rest << 32) | a.w[k];
        r.w[k] = static_cast<uint32_t>(cur / d);
        rest = cur % d;
    }
    r.negative = a.negative;
    return r;
}

bool isZero(const Fixed &a, int n) {
    for (int k = 0; k < n; ++k)
        if (a.w[k] != 0)
            return false;
    return true;
}

// a as a double-double, relative error below 2^-110.
DD toDD(const Fixed &a, int n) {
    int k0 = 0;
    while (k0 < n && a.w[k0] == 0)
        ++k0;
    if (k0 == n)
        return {0.0, 0.0};
    double part[4] = {};
    for (int k = 0; k < 4 && k0 + k < n; ++k)
        part[k] = a.w[k0 + k] * pow2(-32 * (k0 + k));
    const DD s = twoSum(part[0], part[1]);
    DD r = fastTwoSum(s.hi, s.lo + (part[2] + part[3]));
    if (a.negative)
        r = {-r.hi, -r.lo};
    return r;
}

// The double nearest to a (ties to even); |a| must be 0 or at least 2^-900.
double roundToDouble(const Fixed &a, int n) {
    int k0 = 0;
    while (k0 < n && a.w[k0] == 0)
        ++k0;
    if (k0 == n)
        return 0.0;
    auto word = [&](int k) -> uint64_t { return k < n ? a.w[k] : 0u; };
    const int lz = std::countl_zero(a.w[k0]);
    uint64_t top = (word(k0) << 32) | word(k0 + 1);
    bool sticky = false;
    if (lz > 0) {
        top = (top << lz) | (word(k0 + 2) >> (32 - lz));
        sticky = (word(k0 + 2) & ((uint64_t{1} << (32 - lz)) - 1)) != 0;
    } else {
        sticky = word(k0 + 2) != 0;
    }
    for (int k = k0 + 3; k < n && !sticky; ++k)
        sticky = a.w[k] != 0;
    uint64_t mant = top >> 11;
    const uint64_t rest = top & 0x7ff;
    if (rest > 0x400 || (rest == 0x400 && (sticky || (mant & 1) != 0)))
        ++mant;
    // the leading bit of top weighs 2^(31 - lz - 32 k0)
    const double r = static_cast<double>(mant) * pow2(31 - lz - 32 * k0 - 63 + 11);
    return a.negative ? -r : r;
}

// The double that every value within err ulps of a rounds to, in out;
// false when they do not all round to one.
bool decideFixed(const Fixed &a, uint64_t err, int n, double &out) {
    Fixed e;
    e.w[n - 1] = static_cast<uint32_t>(err);
    e.w[n - 2] = static_cast<uint32_t>(err >> 32);
    const double below = roundToDouble(subtract(a, e, n), n);
    const double above = roundToDouble(add(a, e, n), n);
    out = roundToDouble(a, n);
    return below == above;
}

// sin a and cos a for |a| < 2^20; returns a bound on the error of both in ulps.
//
// a = r + k pi/2 with k pi/2 from n + 1 words of pi/2 (error below 2 ulps),
// |r| <= pi/4 + tiny, then t_m = r^m/m! from t_(m+1) = t_m r / (m + 1), each
// off by at most 4 ulps (two truncations plus the inherited errors times
// |r|/(m+1) < 0.8), until a term vanishes: then the rest is below 6 ulps.
uint64_t sinCos(const Fixed &a, int n, Fixed &sine, Fixed &cosine) {
    const double kd = (toDD(a, n).hi * kTwoOverPi + 0x1.8p52) - 0x1.8p52;
    const int64_t k = static_cast<int64_t>(kd);
    const uint32_t ak = static_cast<uint32_t>(k < 0 ? -k : k);
    Fixed kp;
    uint64_t carry = 0;
    for (int i = n; i >= 0; --i) {
        carry += static_cast<uint64_t>(kPio2Words[i]) * ak;
        if (i < n)
            kp.w[i] = static_cast<uint32_t>(carry);
        carry >>= 32;
    }
    kp.negative = k < 0;
    const Fixed r = subtract(a, kp, n);
    Fixed s = r;
    Fixed c = toFixed(1.0, n);
    Fixed t = r;
    int terms = 2;
    for (uint32_t m = 2;; ++m) {
        t = divide(multiply(t, r, n), m, n);
        if (isZero(t, n))
            break;
        ++terms;
        // m = 2, 3, 4, 5, ... gives -, -, +, + on cos, sin, cos, sin
        Fixed &sum = (m & 1) != 0 ? s : c;
        sum = (m & 2) != 0 ? subtract(sum, t, n) : add(sum, t, n);
    }
    switch (k & 3) {
    case 0:
        sine = s;
        cosine = c;
        break;
    case 1:
        sine = c;
        cosine = negated(s);
        break;
    case 2:
        sine = negated(s);
        cosine = negated(c);
        break;
    default:
        sine = negated(c);
        cosine = s;
        break;
    }
    return 4 * static_cast<uint64_t>(terms) + 8;
}

// Refines theta to the angle of the point (x, y) with y >= 0 and
// max(|x|, y) >= 1, x off by at most xErr ulps, y exact; returns the error
// bound of theta in ulps.
//
// With sin and cos of the current theta, N = y cos - x sin and
// D = y sin + x cos are rho sin(phi - theta) and rho cos(phi - theta), so
// phi = theta + atan(N/D) exactly; adding q = N/D (in double-double) leaves
// an error of |q|^3/3 + 2^-100 |q|, negligible once |q| < 2^(100 - 32(n-1))
// for n >= 6, besides the errors of N and D over D >= 1.
uint64_t refineAngle(const Fixed &y, const Fixed &x, uint64_t xErr, int n, Fixed &theta) {
    uint64_t err = 0;
    for (int iteration = 0; iteration < 16; ++iteration) {
        Fixed s, c;
        const uint64_t scErr = sinCos(theta, n, s, c);
        const Fixed num = subtract(multiply(y, c, n), multiply(x, s, n), n);
        const Fixed den = add(multiply(y, s, n), multiply(x, c, n), n);
        const DD q = divide(toDD(num, n), toDD(den, n));
        theta = add(add(theta, toFixed(q.hi, n), n), toFixed(q.lo, n), n);
        // |x|, |y| < 2: N and D are each off by 4 scErr + xErr + 2 ulps
        err = 2 * (4 * scErr + xErr + 2) + 4;
        if (std::fabs(q.hi) < pow2(100 - 32 * (n - 1)))
            break;
    }
    return err;
}

// sqrt(s) for 0 < s <= 1 by Newton's steps from c (within relative 2^-50),
// in place; returns the error bound in ulps.  The last step leaves the
// square's truncation over 2c and two more ulps.
uint64_t refineSqrt(const Fixed &s, int n, Fixed &c) {
    for (int iteration = 0; iteration < 16; ++iteration) {
        const DD cd = toDD(c, n);
        const DD d = divide(toDD(subtract(s, multiply(c, c, n), n), n), DD{2.0 * cd.hi, 2.0 * cd.lo});
        c = add(add(c, toFixed(d.hi, n), n), toFixed(d.lo, n), n);
        if (std::fabs(d.hi) <= cd.hi * pow2(50 - 32 * (n - 1)))
            return static_cast<uint64_t>(1.0 / cd.hi) + 4;
    }
    return static_cast<uint64_t>(1.0 / toDD(c, n).hi) + 4;
}

// The slow paths: fixed point at growing precision until decided, from
// kLevels[first] on (the checker starts higher to test every level).
double slowSinCos(double x, bool cosine, int first = 0) {
    ++exactMathCounts.slowPath;
    double out = 0.0;
    for (int level = first; level < kLevelCount; ++level) {
        const int n = kLevels[level];
        Fixed s, c;
        const uint64_t err = sinCos(toFixed(x, n), n, s, c);
        if (decideFixed(cosine ? c : s, err, n, out))
            return out;
    }
    ++exactMathCounts.undecided;
    return out;
}

// start as a fixed-point number.
Fixed fromApprox(const Approx &start) {
    const int n = kLevels[0];
    return add(toFixed(start.hi, n), toFixed(start.lo, n), n);
}

// The angle of (x, y), y >= 0, max(|x|, y) in [1, 2), from the estimate
// start; negative gives the result's sign.
double slowAngle(double y, double x, const Approx &start, bool negative, int first = 0) {
    ++exactMathCounts.slowPath;
    double out = 0.0;
    Fixed theta = fromApprox(start);
    for (int level = first; level < kLevelCount; ++level) {
        const int n = kLevels[level];
        const uint64_t err = refineAngle(toFixed(y, n), toFixed(x, n), 0, n, theta);
        if (decideFixed(negative ? negated(theta) : theta, err, n, out))
            return out;
    }
    ++exactMathCounts.undecided;
    return out;
}

// asin(x) for 2^-26 <= |x| < 1: the angle of (sqrt(1 - x^2), |x|).
double slowAsin(double x, const Approx &start, int first = 0) {
    ++exactMathCounts.slowPath;
    double out = 0.0;
    const double ax = std::fabs(x);
    Fixed theta = fromApprox(start);
    const DD c0 = sqrtOneMinusSquare(ax);
    Fixed c = add(toFixed(c0.hi, kLevels[0]), toFixed(c0.lo, kLevels[0]), kLevels[0]);
    for (int level = first; level < kLevelCount; ++level) {
        const int n = kLevels[level];
        // 1 - x^2 = (1 - x)(1 + x) exactly: x has no bit below 2^-78
        const Fixed one = toFixed(1.0, n);
        const Fixed y = toFixed(ax, n);
        const Fixed s = multiply(subtract(one, y, n), add(one, y, n), n);
        const uint64_t cErr = refineSqrt(s, n, c);
        const uint64_t err = refineAngle(y, c, cErr, n, theta);
        if (decideFixed(x < 0.0 ? negated(theta) : theta, err, n, out))
            return out;
    }
    ++exactMathCounts.undecided;
    return out;
}

// The correctly rounded atan(a / b) for 0 < a / b < 2^-55: the quotient
// itself, as no rounding boundary lies between a / b and atan(a / b) (the
// distance from a/b to a boundary is at least 2^-107 a/b unless zero) -
// except when a / b is exactly halfway between two subnormals, where the
// smaller one is the answer.
double tinyQuotient(double a, double b) {
    const double q = a / b;
    if (!(q <= 0x1p-1021))
        return q;
    auto odd = [](double v, int &exponent) {
        const uint64_t bits = std::bit_cast<uint64_t>(v);
        const int field = static_cast<int>(bits >> 52);
        uint64_t m = bits & ((uint64_t{1} << 52) - 1);
        exponent = field == 0 ? -1074 : field - 1075;
        if (field != 0)
            m |= uint64_t{1} << 52;
        const int tz = std::countr_zero(m);
        exponent += tz;
        return m >> tz;
    };
    int ea = 0, eb = 0;
    const uint64_t ma = odd(a, ea);
    const uint64_t mb = odd(b, eb);
    // a / b = (ma / mb) 2^(ea - eb): a midpoint m 2^-1075 with m odd
    if (ea - eb != -1075 || ma % mb != 0)
        return q;
    return std::bit_cast<double>((ma / mb - 1) / 2);
}

} // namespace

double exactSin(double x) {
    const double ax = std::fabs(x);
    if (!(ax < 0x1p20))
        return std::isfinite(x) ? std::sin(x) : x - x;
    // sin x = x - x^3/6...: within half an ulp of x below 2^-26
    if (ax < 0x1p-26)
        return x;
    const Approx a = sinCosFast(x, false);
    double out;
    return decide(a, out) ? out : slowSinCos(x, false);
}

double exactCos(double x) {
    const double ax = std::fabs(x);
    if (!(ax < 0x1p20))
        return std::isfinite(x) ? std::cos(x) : x - x;
    // cos x = 1 - x^2/2...: within half an ulp of 1 below 2^-27
    if (ax < 0x1p-27)
        return 1.0;
    const Approx a = sinCosFast(x, true);
    double out;
    return decide(a, out) ? out : slowSinCos(x, true);
}

double exactAsin(double x) {
    const double ax = std::fabs(x);
    if (!(ax < 1.0)) {
        if (ax == 1.0)
            return x > 0.0 ? kPio2.hi : -kPio2.hi;
        // NaN itself, or a positive quiet NaN as glibc gives for |x| > 1
        return x != x ? x + x : std::bit_cast<double>(uint64_t{0x7ff8000000000000});
    }
    // asin x = x + x^3/6...: within half an ulp of x below 2^-26
    if (ax < 0x1p-26)
        return x;
    Approx a = asinFast(ax);
    double out;
    if (decide(a, out))
        return x < 0.0 ? -out : out;
    return slowAsin(x, a);
}

double exactAtan2(double y, double x) {
    if (x != x || y != y)
        return x + y;
    const bool yNegative = std::signbit(y);
    const bool xNegative = std::signbit(x);
    const double a = std::fabs(y);
    const double b = std::fabs(x);
    auto sign = [&](double v) { return yNegative ? -v : v; };
    if (a == 0.0)
        return xNegative ? sign(kPi.hi) : y;
    if (b == 0.0)
        return sign(kPio2.hi);
    if (std::isinf(a) || std::isinf(b)) {
        if (a != b)
            return std::isinf(a) ? sign(kPio2.hi) : (xNegative ? sign(kPi.hi) : sign(0.0));
        return sign(xNegative ? 0x1.2d97c7f3321d2p+1 : 0x1.921fb54442d18p-1);
    }
    const bool steep = a > b;
    if ((steep ? b / a : a / b) < 0x1p-55) {
        if (steep)
            return sign(kPio2.hi);
        return xNegative ? sign(kPi.hi) : sign(tinyQuotient(a, b));
    }
    double ys, xs;
    const Approx angle = atan2Fast(a, b, xNegative, ys, xs);
    double out;
    if (decide(angle, out))
        return sign(out);
    return slowAngle(ys, xNegative ? -xs : xs, angle, yNegative);
}

} // namespace spindle
