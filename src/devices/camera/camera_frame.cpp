#include "devices/camera/camera_frame.h"

#include <cstring>

#if defined(__x86_64__) || defined(_M_X64)
#include <immintrin.h>
#define NERIN_FRAME_X64 1
#if defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>
#define NERIN_AVX2_FUNCTION
#else
#define NERIN_AVX2_FUNCTION __attribute__((target("avx2")))
#endif
#endif

// Both fills run on every live-video tick, so they are written for speed:
// whole 32-bit pixels, the spare byte carried over from what the frame held,
// and on x86-64 eight (SSE2) or sixteen (AVX2, when the processor has it)
// pixels per step. The scalar code is the plain statement of each and also
// handles what remains of a row.

namespace {

inline std::uint32_t load32(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline void store32(std::uint8_t* p, std::uint32_t v) { std::memcpy(p, &v, sizeof v); }

constexpr std::uint32_t spareMask = 0xFF000000u;

inline std::uint32_t pixel(std::uint32_t old, std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
  return (old & spareMask) | (red << 16) | (green << 8) | blue;
}

// One output row: columns [x, width) from the two mosaic rows above it.
using BayerRow = int (*)(const std::uint8_t* top, const std::uint8_t* bottom, std::uint8_t* out, int width,
                         std::uint32_t keepColour);

void bayerRowScalar(const std::uint8_t* top, const std::uint8_t* bottom, std::uint8_t* out, int x, int width,
                    std::uint32_t keepColour) {
  for (; x < width; ++x) {
    const std::uint32_t red = top[2 * x] & keepColour;
    const std::uint32_t green = ((std::uint32_t{top[2 * x + 1]} + bottom[2 * x]) >> 1) & keepColour;
    const std::uint32_t blue = bottom[2 * x + 1];
    store32(out + 4 * x, pixel(load32(out + 4 * x), red, green, blue));
  }
}

int bayerRowNone(const std::uint8_t*, const std::uint8_t*, std::uint8_t*, int, std::uint32_t) { return 0; }

#ifdef NERIN_FRAME_X64
// In 16-bit lanes the upper mosaic row holds red | green << 8 and the lower
// one green | blue << 8; the pixels are blue | green << 8 | red << 16.
template <bool keepSpare>
int bayerRowSse2(const std::uint8_t* top, const std::uint8_t* bottom, std::uint8_t* out, int width,
                 std::uint32_t keepColour) {
  const __m128i lowByte = _mm_set1_epi16(0x00FF);
  const __m128i keep = _mm_set1_epi16(static_cast<short>(keepColour));
  const __m128i spare = _mm_set1_epi32(static_cast<int>(spareMask));
  int x = 0;
  for (; x + 8 <= width; x += 8) {
    const __m128i t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(top + 2 * x));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bottom + 2 * x));
    const __m128i red = _mm_and_si128(_mm_and_si128(t, lowByte), keep);
    const __m128i green =
        _mm_and_si128(_mm_srli_epi16(_mm_add_epi16(_mm_srli_epi16(t, 8), _mm_and_si128(b, lowByte)), 1), keep);
    const __m128i blueGreen = _mm_or_si128(_mm_srli_epi16(b, 8), _mm_slli_epi16(green, 8));
    __m128i* o = reinterpret_cast<__m128i*>(out + 4 * x);
    __m128i pixels0 = _mm_unpacklo_epi16(blueGreen, red);
    __m128i pixels1 = _mm_unpackhi_epi16(blueGreen, red);
    if constexpr (keepSpare) {
      pixels0 = _mm_or_si128(pixels0, _mm_and_si128(_mm_loadu_si128(o), spare));
      pixels1 = _mm_or_si128(pixels1, _mm_and_si128(_mm_loadu_si128(o + 1), spare));
    }
    _mm_storeu_si128(o, pixels0);
    _mm_storeu_si128(o + 1, pixels1);
  }
  return x;
}

// The same with 32-byte registers; the unpacks work within 128-bit halves,
// so the two results are put back in pixel order before they are stored.
template <bool keepSpare>
NERIN_AVX2_FUNCTION int bayerRowAvx2(const std::uint8_t* top, const std::uint8_t* bottom, std::uint8_t* out,
                                     int width, std::uint32_t keepColour) {
  const __m256i lowByte = _mm256_set1_epi16(0x00FF);
  const __m256i keep = _mm256_set1_epi16(static_cast<short>(keepColour));
  const __m256i spare = _mm256_set1_epi32(static_cast<int>(spareMask));
  int x = 0;
  for (; x + 16 <= width; x += 16) {
    const __m256i t = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(top + 2 * x));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bottom + 2 * x));
    __m256i red = _mm256_and_si256(t, lowByte);
    __m256i green = _mm256_srli_epi16(_mm256_add_epi16(_mm256_srli_epi16(t, 8), _mm256_and_si256(b, lowByte)), 1);
    if (keepColour != 0xFFu) {
      red = _mm256_and_si256(red, keep);
      green = _mm256_and_si256(green, keep);
    }
    const __m256i blueGreen = _mm256_or_si256(_mm256_srli_epi16(b, 8), _mm256_slli_epi16(green, 8));
    const __m256i low = _mm256_unpacklo_epi16(blueGreen, red);   // pixels 0-3, 8-11
    const __m256i high = _mm256_unpackhi_epi16(blueGreen, red);  // pixels 4-7, 12-15
    __m256i* o = reinterpret_cast<__m256i*>(out + 4 * x);
    __m256i pixels0 = _mm256_permute2x128_si256(low, high, 0x20);
    __m256i pixels1 = _mm256_permute2x128_si256(low, high, 0x31);
    if constexpr (keepSpare) {
      pixels0 = _mm256_or_si256(pixels0, _mm256_and_si256(_mm256_loadu_si256(o), spare));
      pixels1 = _mm256_or_si256(pixels1, _mm256_and_si256(_mm256_loadu_si256(o + 1), spare));
    }
    _mm256_storeu_si256(o, pixels0);
    _mm256_storeu_si256(o + 1, pixels1);
  }
  return x;
}

bool processorHasAvx2() {
#if defined(_MSC_VER) && !defined(__clang__)
  int r[4];
  __cpuid(r, 0);
  if (r[0] < 7) return false;
  __cpuid(r, 1);
  const bool osSavesYmm = (r[2] & (1 << 27)) && (r[2] & (1 << 28)) && (_xgetbv(0) & 6) == 6;
  __cpuidex(r, 7, 0);
  return osSavesYmm && (r[1] & (1 << 5));
#else
  return __builtin_cpu_supports("avx2");
#endif
}
#endif

// One row of the test pattern from its 64-pixel period: out[x] =
// period[x % 64] with the spare byte kept. Returns the columns done.
using PeriodicRow = int (*)(const std::uint32_t* period, std::uint8_t* out, int width);

int periodicRowNone(const std::uint32_t*, std::uint8_t*, int) { return 0; }

#ifdef NERIN_FRAME_X64
template <bool keepSpare>
int periodicRowSse2(const std::uint32_t* period, std::uint8_t* out, int width) {
  const __m128i spare = _mm_set1_epi32(static_cast<int>(spareMask));
  int x = 0;
  for (; x + 4 <= width; x += 4) {
    __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(period + (x & 63)));
    __m128i* o = reinterpret_cast<__m128i*>(out + 4 * x);
    if constexpr (keepSpare) p = _mm_or_si128(p, _mm_and_si128(_mm_loadu_si128(o), spare));
    _mm_storeu_si128(o, p);
  }
  return x;
}

template <bool keepSpare>
NERIN_AVX2_FUNCTION int periodicRowAvx2(const std::uint32_t* period, std::uint8_t* out, int width) {
  const __m256i spare = _mm256_set1_epi32(static_cast<int>(spareMask));
  int x = 0;
  for (; x + 8 <= width; x += 8) {
    __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(period + (x & 63)));
    __m256i* o = reinterpret_cast<__m256i*>(out + 4 * x);
    if constexpr (keepSpare) p = _mm256_or_si256(p, _mm256_and_si256(_mm256_loadu_si256(o), spare));
    _mm256_storeu_si256(o, p);
  }
  return x;
}
#endif

// The row code of one instruction set; null entries where the processor
// lacks it.
struct PixelCode {
  BayerRow bayerRow;
  PeriodicRow patternRow;
  BayerRow bayerRowSpareZero;  // for frames whose spare bytes are all zero: nothing to read back
  PeriodicRow patternRowSpareZero;
};

PixelCode pixelCodeFor(PixelPath path) {
  constexpr PixelCode scalar = {bayerRowNone, periodicRowNone, bayerRowNone, periodicRowNone};
#ifdef NERIN_FRAME_X64
  static const bool avx2 = processorHasAvx2();
  constexpr PixelCode sse2 = {bayerRowSse2<true>, periodicRowSse2<true>, bayerRowSse2<false>,
                              periodicRowSse2<false>};
  constexpr PixelCode wide = {bayerRowAvx2<true>, periodicRowAvx2<true>, bayerRowAvx2<false>,
                              periodicRowAvx2<false>};
  switch (path) {
    case PixelPath::best:
      return avx2 ? wide : sse2;
    case PixelPath::avx2:
      return avx2 ? wide : PixelCode{};
    case PixelPath::sse2:
      return sse2;
    case PixelPath::scalar:
      return scalar;
  }
  return {};
#else
  return path == PixelPath::best || path == PixelPath::scalar ? scalar : PixelCode{};
#endif
}

// The code for the path asked, or the best one when it is not available.
PixelCode usableCode(PixelPath path) {
  const PixelCode code = pixelCodeFor(path);
  return code.bayerRow ? code : pixelCodeFor(PixelPath::best);
}

}  // namespace

bool pixelPathAvailable(PixelPath path) { return pixelCodeFor(path).bayerRow != nullptr; }

void convertBayerToFrame(const std::uint8_t* raw, int rawWidth, int rawHeight, int blueOnly,
                         std::uint8_t* frame, PixelPath path, SpareBytes spare) {
  const PixelCode code = usableCode(path);
  const BayerRow fastRow = spare == SpareBytes::allZero ? code.bayerRowSpareZero : code.bayerRow;
  const int width = rawWidth / 2;
  const int height = rawHeight / 2;
  const std::uint32_t keepColour = blueOnly ? 0u : 0xFFu;
  for (int yTop = 0; yTop < height; ++yTop) {
    const std::uint8_t* top = raw + std::size_t(2 * yTop) * std::size_t(rawWidth);
    const std::uint8_t* bottom = top + rawWidth;
    std::uint8_t* out = frame + framePixelOffset(0, yTop, width, height);
    const int done = fastRow(top, bottom, out, width, keepColour);
    bayerRowScalar(top, bottom, out, done, width, keepColour);
  }
}

void drawTestPattern(std::uint8_t* frame, int rawWidth, int rawHeight, int phase, PixelPath path,
                     SpareBytes spare) {
  const PixelCode code = usableCode(path);
  const PeriodicRow fastRow = spare == SpareBytes::allZero ? code.patternRowSpareZero : code.patternRow;
  const std::uint32_t keep = spare == SpareBytes::allZero ? 0u : spareMask;
  const int width = rawWidth / 2;
  const int height = rawHeight / 2;
  const std::uint32_t k = static_cast<std::uint32_t>(phase);
  // Along a row, with c = 2x, blue and green repeat every 64 pixels and red
  // is constant; so one period per row is computed and repeated. Green does
  // not depend on the row at all.
  std::uint32_t green[64];
  for (std::uint32_t x = 0; x < 64; ++x) {
    const std::uint32_t c = 2 * x;
    green[x] = (((c + k) & 127u) + ((2 * c + k) & 127u)) >> 1;
  }
  std::uint32_t period[64];
  for (int yTop = 0; yTop < height; ++yTop) {
    const std::uint32_t row = static_cast<std::uint32_t>(2 * yTop);
    const std::uint32_t red = (row + k) % 127u;
    for (std::uint32_t x = 0; x < 64; ++x) period[x] = (red << 16) | (green[x] << 8) | ((2 * x + row) & 127u);
    std::uint8_t* out = frame + framePixelOffset(0, yTop, width, height);
    for (int x = fastRow(period, out, width); x < width; ++x) {
      store32(out + 4 * x, (keep ? load32(out + 4 * x) & keep : 0u) | period[x & 63]);
    }
  }
}
