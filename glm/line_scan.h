// line_scan.h: fast paths for the common, well-formed OBJ lines. A line is
// classified 16 or 32 bytes at a time into bit masks (blanks, digits,
// slashes, points, minus signs), one bit per byte, and whether it is plainly
// well formed is decided on the masks as a whole: a face line's corners all
// of one form, a number line's words plain decimals. Whenever a line is not
// plainly well formed (too long, near the end of the text, odd characters,
// a face that may go on to the next line) the fast path declines and the
// exact reader takes over, so results never depend on which path ran.
//
// Everything is written once for two instruction sets, picked by a tag:
// Plain (SSE2, which every x86-64 processor has) and Avx2 (with BMI, POPCNT
// and PCLMUL), which the reader takes when the processor has them. Internal
// to the model library.
#ifndef PLINKAR_GLM_LINE_SCAN_H
#define PLINKAR_GLM_LINE_SCAN_H

#include <emmintrin.h>

#include <cstdint>
#include <cstring>

#include "glm/text_scan.h"

// The faster instruction set is built for Linux on x86-64 with GCC or
// Clang; Windows builds keep to the plain one.
#if defined(__x86_64__) && !defined(_WIN32) && defined(__GNUC__)
#include <immintrin.h>
#define GLM_HAVE_AVX2 1
#define GLM_AVX2 __attribute__((target("avx2,bmi,bmi2,popcnt,pclmul")))
#endif

#define GLM_INLINE inline __attribute__((always_inline))

namespace glm_scan {

struct Plain {};
struct Avx2 {};

// Whether this processor runs the Avx2 paths.
inline bool have_avx2() {
#ifdef GLM_HAVE_AVX2
  static const bool have = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
                           __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt") &&
                           __builtin_cpu_supports("pclmul");
  return have;
#else
  return false;
#endif
}

// 32 bytes of a line, a bit per byte. mark is '/' in a face line and '.'
// in a number line; minus is only told apart in a number line. blank takes
// in the line end too.
struct Masks32 {
  uint32_t newline, blank, digit, mark, minus, known;
};

// An unsigned range test, x - from < width, as a signed compare of
// x + (128 - from) with width - 128.
template <bool Face>
GLM_INLINE void classify32(Plain, const char* p, Masks32* m) {
  const __m128i from_tab = _mm_set1_epi8(static_cast<char>(128 - '\t'));
  const __m128i five = _mm_set1_epi8(static_cast<char>(-128 + 5));
  const __m128i from_zero = _mm_set1_epi8(static_cast<char>(128 - '0'));
  const __m128i ten = _mm_set1_epi8(static_cast<char>(-128 + 10));
  uint32_t masks[6][2];
  for (int half = 0; half < 2; half++) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * half));
    const __m128i space = _mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8(' ')),
                                       _mm_cmplt_epi8(_mm_add_epi8(x, from_tab), five));
    const __m128i digit = _mm_cmplt_epi8(_mm_add_epi8(x, from_zero), ten);
    const __m128i mark = _mm_cmpeq_epi8(x, _mm_set1_epi8(Face ? '/' : '.'));
    const __m128i minus = _mm_cmpeq_epi8(x, _mm_set1_epi8('-'));
    __m128i known = _mm_or_si128(_mm_or_si128(space, digit), mark);
    if (!Face) known = _mm_or_si128(known, minus);
    masks[0][half] = _mm_movemask_epi8(_mm_cmpeq_epi8(x, _mm_set1_epi8('\n')));
    masks[1][half] = _mm_movemask_epi8(space);
    masks[2][half] = Face ? 0 : _mm_movemask_epi8(digit);
    masks[3][half] = _mm_movemask_epi8(mark);
    masks[4][half] = Face ? 0 : _mm_movemask_epi8(minus);
    masks[5][half] = _mm_movemask_epi8(known);
  }
  m->newline = masks[0][0] | masks[0][1] << 16;
  m->blank = masks[1][0] | masks[1][1] << 16;
  m->digit = masks[2][0] | masks[2][1] << 16;
  m->mark = masks[3][0] | masks[3][1] << 16;
  m->minus = masks[4][0] | masks[4][1] << 16;
  m->known = masks[5][0] | masks[5][1] << 16;
}

GLM_INLINE int count_bits(Plain, uint64_t x) {
  x = x - ((x >> 1) & 0x5555555555555555ULL);
  x = (x & 0x3333333333333333ULL) + ((x >> 2) & 0x3333333333333333ULL);
  x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
  return static_cast<int>((x * 0x0101010101010101ULL) >> 56);
}

// Bit i is the parity of the bits of x at i and below.
GLM_INLINE uint64_t prefix_parity(Plain, uint64_t x) {
  x ^= x << 1;
  x ^= x << 2;
  x ^= x << 4;
  x ^= x << 8;
  x ^= x << 16;
  return x ^ (x << 32);
}

#ifdef GLM_HAVE_AVX2
// Four words at once: pairs of digits, then fours, then the eights.
GLM_AVX2 inline __m128i four_word_values(__m256i x) {
  const __m256i pairs = _mm256_maddubs_epi16(x, _mm256_set1_epi16(0x010A));
  const __m256i fours = _mm256_madd_epi16(pairs, _mm256_set1_epi32(0x00010064));
  const __m256i eights = _mm256_add_epi64(_mm256_mul_epu32(fours, _mm256_set1_epi64x(10000)),
                                          _mm256_srli_epi64(fours, 32));
  return _mm256_castsi256_si128(
      _mm256_permutevar8x32_epi32(eights, _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7)));
}

template <bool Face>
GLM_AVX2 inline void classify32(Avx2, const char* p, Masks32* m) {
  const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  const __m256i space =
      _mm256_or_si256(_mm256_cmpeq_epi8(x, _mm256_set1_epi8(' ')),
                      _mm256_cmpgt_epi8(_mm256_set1_epi8(static_cast<char>(-128 + 5)),
                                        _mm256_add_epi8(x, _mm256_set1_epi8(128 - '\t'))));
  const __m256i digit =
      _mm256_cmpgt_epi8(_mm256_set1_epi8(static_cast<char>(-128 + 10)),
                        _mm256_add_epi8(x, _mm256_set1_epi8(static_cast<char>(128 - '0'))));
  const __m256i mark = _mm256_cmpeq_epi8(x, _mm256_set1_epi8(Face ? '/' : '.'));
  const __m256i minus = _mm256_cmpeq_epi8(x, _mm256_set1_epi8('-'));
  __m256i known = _mm256_or_si256(_mm256_or_si256(space, digit), mark);
  if (!Face) known = _mm256_or_si256(known, minus);
  m->newline = _mm256_movemask_epi8(_mm256_cmpeq_epi8(x, _mm256_set1_epi8('\n')));
  m->blank = _mm256_movemask_epi8(space);
  m->digit = Face ? 0 : _mm256_movemask_epi8(digit);
  m->mark = _mm256_movemask_epi8(mark);
  m->minus = Face ? 0 : _mm256_movemask_epi8(minus);
  m->known = _mm256_movemask_epi8(known);
}

GLM_AVX2 inline int count_bits(Avx2, uint64_t x) { return __builtin_popcountll(x); }

GLM_AVX2 inline uint64_t prefix_parity(Avx2, uint64_t x) {
  const __m128i product =
      _mm_clmulepi64_si128(_mm_cvtsi64_si128(static_cast<long long>(x)), _mm_set1_epi8(-1), 0);
  return static_cast<uint64_t>(_mm_cvtsi128_si64(product));
}
#endif

// Masks of a line's first 64 (uint64_t) or 128 (Bits128) bytes: bit i
// describes byte i, and only bytes before the line end have bits.
typedef unsigned __int128 Bits128;

template <typename Isa>
GLM_INLINE int count_bits(Isa isa, uint32_t x) {
  return count_bits(isa, static_cast<uint64_t>(x));
}

template <typename Isa>
GLM_INLINE uint32_t prefix_parity(Isa isa, uint32_t x) {
  return static_cast<uint32_t>(prefix_parity(isa, static_cast<uint64_t>(x)));
}

template <typename Isa>
GLM_INLINE int count_bits(Isa isa, Bits128 x) {
  return count_bits(isa, static_cast<uint64_t>(x)) +
         count_bits(isa, static_cast<uint64_t>(x >> 64));
}

template <typename Isa>
GLM_INLINE Bits128 prefix_parity(Isa isa, Bits128 x) {
  const uint64_t low = prefix_parity(isa, static_cast<uint64_t>(x));
  const uint64_t high = prefix_parity(isa, static_cast<uint64_t>(x >> 64)) ^ (0 - (low >> 63));
  return Bits128(high) << 64 | low;
}

GLM_INLINE int lowest_bit(uint32_t x) { return __builtin_ctz(x); }
GLM_INLINE int lowest_bit(uint64_t x) { return __builtin_ctzll(x); }
GLM_INLINE int lowest_bit(Bits128 x) {
  const uint64_t low = static_cast<uint64_t>(x);
  return low ? __builtin_ctzll(low) : 64 + __builtin_ctzll(static_cast<uint64_t>(x >> 64));
}

template <typename Bits>
struct LineBits {
  Bits blank;  // ' ', '\t', '\v', '\f', '\r'
  Bits digit;
  Bits slash;  // faces only
  Bits dot;    // numbers only
  Bits minus;  // numbers only
  Bits other;  // anything else
  int length;  // where the line end is
};

// Masks for a line from its 32-byte blocks (count of them, the line end
// in the last). A face line is told apart into blanks, digits and slashes,
// a number line into blanks, digits, points and minus signs; any other byte
// is other.
template <bool Face, typename Bits>
GLM_INLINE void line_bits(const Masks32* blocks, int count, LineBits<Bits>* m) {
  Bits newline = 0, blank = 0, digit = 0, mark = 0, minus = 0, known = 0;
  for (int block = 0; block < count; block++) {
    const Masks32& b = blocks[block];
    const int at = 32 * block;
    newline |= Bits(b.newline) << at;
    blank |= Bits(b.blank) << at;
    digit |= Bits(b.digit) << at;
    mark |= Bits(b.mark) << at;
    minus |= Bits(b.minus) << at;
    known |= Bits(b.known) << at;
  }
  m->length = lowest_bit(newline);
  const Bits inside = (newline & (~newline + 1)) - 1;
  m->blank = blank & inside;
  m->other = inside & ~known;
  if (Face) {
    m->slash = mark & inside;
    m->digit = inside & ~blank & ~mark;
    m->dot = m->minus = 0;
  } else {
    m->dot = mark & inside;
    m->minus = minus & inside;
    m->digit = digit & inside;
    m->slash = 0;
  }
}

// Classifies the line at p block by block up to the one that holds its
// line end, at most four; each block needs 32 + extra readable bytes.
// Returns how many blocks that took, or 0 when the line end did not come.
template <bool Face, int kMost, typename Isa>
GLM_INLINE int classify_blocks(Isa isa, const char* p, const char* end, int extra,
                               Masks32* blocks) {
  for (int block = 0; block < kMost; block++) {
    if (end - p < 32 * (block + 1) + extra) return 0;
    classify32<Face>(isa, p + 32 * block, &blocks[block]);
    if (blocks[block].newline) return block + 1;
  }
  return 0;
}

// Whether the bits of a and b alternate, a first and b last: a b a b ... a b.
// The masks below are drawn bit 0 first, as the text reads. With the word
// starts and the slashes of " 1/2 3/4":
//   a     .x...x..
//   b     ..x...x.
//   both  .xx..xx.
//   open  .x...x..   odd count of both so far: on at each a, off at its b
// both & open is a, and open is off at the top: they alternate. For " 1/2 3"
// open stays on from the second start to the top bit, so the last a has no b.
template <typename Isa, typename Bits>
GLM_INLINE bool alternate(Isa isa, Bits a, Bits b) {
  const Bits both = a | b;
  const Bits open = prefix_parity(isa, both);  // set from each a up to its b
  return (both & open) == a && !(open >> (8 * sizeof(Bits) - 1));
}

// How a plain face's corners are written, as the exact reader names the
// forms: 0 "v", 1 "v/t", 2 "v/t/n", 3 "v//n".
enum { SHAPE_V, SHAPE_VT, SHAPE_VTN, SHAPE_VN };

// A face line whose words are all corners of one form, each run of digits
// between its slashes: the shape the exact reader reads word for word. m
// classifies the line from the blank after "f". Gives the corner count and
// the form. The masks for " 1/2/3 4/5/6", bit 0 first:
//   digit   .x.x.x.x.x.x
//   slash   ..x.x...x.x.
//   words   .xxxxx.xxxxx
//   starts  .x.....x....   a word bit with no word bit before it
//   first   .xxxxx......   adding the lowest start carries through word one
//   own     ..x.x.......   two slashes, not side by side: "v/t/n"
//   pairs   ..xx....xx..   prefix parity of slash: each word's first slash
//                          up to its second, which must hold no blank
// and starts alternate with slash & pairs (..x.....x...): one first slash a
// word. For " 1//2 3//4" own is "//", side by side, so the form is "v//n":
// opens (each pair's first slash) must alternate with the starts, and every
// pair sit between digits.
template <typename Isa, typename Bits>
GLM_INLINE bool face_shape(Isa isa, const LineBits<Bits>& m, int* corners, int* form) {
  if (m.other) return false;
  const Bits digit = m.digit, slash = m.slash;
  const Bits words = digit | slash;
  const Bits starts = words & ~(words << 1);
  if (!starts) return false;
  // The first word decides the form.
  const Bits first = ((words + (starts & (~starts + 1))) ^ words) & words;
  const Bits own = slash & first;
  // Slashes stand between digits.
  const Bits after_digit = digit << 1, before_digit = digit >> 1;
  if (!own) {
    if (slash) return false;
    *form = SHAPE_V;
  } else if (own & (own >> 1)) {
    // Each word holds one "//" and no other slash.
    const Bits opens = slash & ~(slash << 1), closes = slash & ~(slash >> 1);
    if (closes != opens << 1 || (opens & ~after_digit) || (closes & ~before_digit) ||
        !alternate(isa, starts, opens))
      return false;
    *form = SHAPE_VN;
  } else {
    if (slash & ~(after_digit & before_digit)) return false;
    if (!(own & (own - 1))) {
      if (!alternate(isa, starts, slash)) return false;
      *form = SHAPE_VT;
    } else {
      // Two slashes: they pair up within words, no blank between a word's
      // first slash and its second, and each word holds one first slash. A
      // third in the first word fails that.
      const Bits pairs = prefix_parity(isa, slash);
      if ((pairs & m.blank) || (pairs >> (8 * sizeof(Bits) - 1)) ||
          !alternate(isa, starts, slash & pairs))
        return false;
      *form = SHAPE_VTN;
    }
  }
  *corners = count_bits(isa, starts);
  return true;
}

// Whether the text at p, after a line end, cannot go on with a face: its
// first word does not start a number.
GLM_INLINE bool face_ends_before(const char* p, const char* end) {
  p = skip_space(p, end);
  return p == end || !(is_digit(*p) || *p == '-' || *p == '+');
}

// A face line "f c c c ..." whose corners are plainly one of the four
// forms, all alike, each value an unsigned number (of at most 8 digits when
// the values are wanted), followed by a line that does not go on with it.
// On success gives the corner count, the form, the values, and where the
// next line starts. Corner c's values are at value[stride * c], in the
// order v, t, n as far as the form has them; with all three the stride is
// 4, so that each corner fills a vector.
struct FastFace {
  enum { kMaxCorners = 64 };
  int corners;
  int form;
  uint32_t value[4 * kMaxCorners];
  const char* next;
};

// The digit word of "1".
const uint64_t kWordOfOne = uint64_t(1) << 56;

template <int Form>
struct FaceForm {
  static const int kPerCorner = Form == SHAPE_V ? 1 : Form == SHAPE_VTN ? 3 : 2;
  static const int kStride = Form == SHAPE_VTN ? 4 : kPerCorner;
};

// The values of four digit words (see digit_word) into values, and
// whether each is in range: 1 up to highest[i] + 1 (a value of 0 wraps
// round to the highest of all).
GLM_INLINE bool four_in_range(Plain, const uint64_t* words, const uint32_t* highest,
                              uint32_t* values) {
  uint32_t out_of_range = 0;
  for (int k = 0; k < 4; k++) {
    values[k] = word_value(words[k]);
    out_of_range |= static_cast<uint32_t>(values[k] - 1 > highest[k]);
  }
  return out_of_range == 0;
}

#ifdef GLM_HAVE_AVX2
GLM_AVX2 inline bool four_in_range(Avx2, const uint64_t* words, const uint32_t* highest,
                                   uint32_t* values) {
  // From registers: a vector load of words just stored one by one would
  // wait for the stores.
  const __m128i v = four_word_values(
      _mm256_set_epi64x(static_cast<long long>(words[3]), static_cast<long long>(words[2]),
                        static_cast<long long>(words[1]), static_cast<long long>(words[0])));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(values), v);
  const __m128i below = _mm_sub_epi32(v, _mm_set1_epi32(1));
  const __m128i limit = _mm_setr_epi32(static_cast<int>(highest[0]), static_cast<int>(highest[1]),
                                       static_cast<int>(highest[2]), static_cast<int>(highest[3]));
  return _mm_testc_si128(_mm_cmpeq_epi32(_mm_min_epu32(below, limit), below), _mm_set1_epi32(-1));
}
#endif

// Where a face line's corners and numbers are, found from its masks; the
// next line whose masks are the same has them in the same places, and is
// as plainly well formed. Positions are kept only in the fill pass.
struct FaceLayout {
  Bits128 blank = 0, slash = 0;
  int length = -1;
  int corners = 0, form = 0;
  uint8_t start[3 * FastFace::kMaxCorners], size[3 * FastFace::kMaxCorners];
};

// The values of a plain face's corners, number after number as the layout
// places them, each checked against its slot's count in limits.
template <int Form, typename Isa>
GLM_INLINE bool face_values(Isa isa, const char* q, const FaceLayout& layout,
                            const uint32_t* limits, FastFace* face) {
  typedef FaceForm<Form> F;
  // A slot with nothing to index declines the face; the padding lanes of a
  // v/t/n corner take any value.
  const uint32_t t_or_n = limits[Form == SHAPE_VN ? 2 : 1];
  if (!limits[0] || (F::kPerCorner > 1 && !t_or_n) || (Form == SHAPE_VTN && !limits[2]))
    return false;
  const uint32_t v = limits[0] - 1, u = t_or_n - 1;
  const uint32_t highest[4] = {v, F::kStride == 1 ? v : u, F::kStride == 4 ? limits[2] - 1 : v,
                               F::kStride == 4   ? UINT32_MAX
                               : F::kStride == 2 ? u
                                                 : v};
  // Four lanes at a time: one v/t/n corner, or two corners of two values,
  // or four of one. Lanes past the last value read as 1, which is in range.
  const int per_group = 4 / F::kStride, corners = layout.corners;
  bool in_range = true;
  int number = 0;
  for (int c = 0; c < corners; c += per_group) {
    uint64_t words[4];
    for (int lane = 0; lane < 4; lane++) {
      words[lane] = kWordOfOne;
      if (lane % F::kStride < F::kPerCorner && c + lane / F::kStride < corners) {
        words[lane] = digit_word(load8(q + layout.start[number]), layout.size[number]);
        number++;
      }
    }
    in_range &= four_in_range(isa, words, highest, &face->value[F::kStride * c]);
  }
  return in_range;
}

// Whether a run of more than 8 bits is set in x.
template <typename Bits>
GLM_INLINE bool has_long_run(Bits x) {
  Bits runs = x & (x >> 1);
  runs &= runs >> 2;
  runs &= runs >> 4;
  return (runs & (x >> 8)) != 0;
}

// The count pass's face line: only its triangles are wanted.
template <typename Bits, typename Isa>
GLM_INLINE bool count_face_line(Isa isa, const Masks32* blocks, int count, const char* q,
                                const char* end, int* corners, const char** next,
                                FaceLayout* layout) {
  LineBits<Bits> m;
  line_bits<true>(blocks, count, &m);
  if (m.other || m.length != layout->length || Bits128(m.blank) != layout->blank ||
      Bits128(m.slash) != layout->slash) {
    if (!face_shape(isa, m, &layout->corners, &layout->form)) {
      layout->length = -1;
      return false;
    }
    layout->blank = m.blank;
    layout->slash = m.slash;
    layout->length = m.length;
  }
  if (!face_ends_before(q + m.length + 1, end)) return false;
  *corners = layout->corners;
  *next = q + m.length + 1;
  return true;
}

// The fill pass's face line; limits gives each slot's count: a value
// outside 1..count makes the face decline, so that the exact reader reports
// it.
template <typename Bits, typename Isa>
GLM_INLINE bool fill_face_line(Isa isa, const Masks32* blocks, int count, const char* q,
                               const char* end, const uint32_t* limits, FastFace* face,
                               FaceLayout* layout) {
  LineBits<Bits> m;
  line_bits<true>(blocks, count, &m);
  if (m.other || m.length != layout->length || Bits128(m.blank) != layout->blank ||
      Bits128(m.slash) != layout->slash) {
    layout->length = -1;
    if (!face_shape(isa, m, &layout->corners, &layout->form) ||
        layout->corners > FastFace::kMaxCorners || has_long_run(m.digit))
      return false;
    Bits starts = m.digit & ~(m.digit << 1), stops = m.digit & ~(m.digit >> 1);
    for (int i = 0; starts; i++) {
      const int start = lowest_bit(starts);
      layout->start[i] = static_cast<uint8_t>(start);
      layout->size[i] = static_cast<uint8_t>(lowest_bit(stops) + 1 - start);
      starts &= starts - 1;
      stops &= stops - 1;
    }
    layout->blank = m.blank;
    layout->slash = m.slash;
    layout->length = m.length;
  }
  if (!face_ends_before(q + m.length + 1, end)) return false;
  face->corners = layout->corners;
  face->form = layout->form;
  bool good;
  switch (face->form) {
    case SHAPE_V:
      good = face_values<SHAPE_V>(isa, q, *layout, limits, face);
      break;
    case SHAPE_VT:
      good = face_values<SHAPE_VT>(isa, q, *layout, limits, face);
      break;
    case SHAPE_VTN:
      good = face_values<SHAPE_VTN>(isa, q, *layout, limits, face);
      break;
    default:
      good = face_values<SHAPE_VN>(isa, q, *layout, limits, face);
      break;
  }
  if (!good) return false;
  face->next = q + m.length + 1;
  return true;
}

// q is at the blank after the word "f". Lines of up to 32, 64 and 128
// bytes take masks of those widths.
template <typename Isa>
GLM_INLINE bool fast_face_count(Isa isa, const char* q, const char* end, int* corners,
                                const char** next, FaceLayout* layout) {
  Masks32 blocks[4];
  const int count = classify_blocks<true, 4>(isa, q, end, 0, blocks);
  switch (count) {
    case 0:
      return false;
    case 1:
      return count_face_line<uint32_t>(isa, blocks, 1, q, end, corners, next, layout);
    case 2:
      return count_face_line<uint64_t>(isa, blocks, 2, q, end, corners, next, layout);
    default:
      return count_face_line<Bits128>(isa, blocks, count, q, end, corners, next, layout);
  }
}

// 8 more bytes for reading digits near the line end.
template <typename Isa>
GLM_INLINE bool fast_face_fill(Isa isa, const char* q, const char* end, const uint32_t* limits,
                               FastFace* face, FaceLayout* layout) {
  Masks32 blocks[4];
  const int count = classify_blocks<true, 4>(isa, q, end, 8, blocks);
  switch (count) {
    case 0:
      return false;
    case 1:
      return fill_face_line<uint32_t>(isa, blocks, 1, q, end, limits, face, layout);
    case 2:
      return fill_face_line<uint64_t>(isa, blocks, 2, q, end, limits, face, layout);
    default:
      return fill_face_line<Bits128>(isa, blocks, count, q, end, limits, face, layout);
  }
}

// A number line ("v x y z", "vt u v") in the counting pass: wherever its
// numbers end, reading them ends on this line unless they could run on to
// the next word, and a word that cannot start a number stops them. So when
// the next line starts with such a word (a statement, as it nearly always
// does) the line is simply skipped. Gives where the next line starts.
GLM_INLINE bool fast_number_line(const char* after_word, const char* end, const char** next) {
  const char* nl = line_end(after_word, end);
  if (nl == end) return false;
  const char* word = skip_space(nl + 1, end);
  if (word < end) {
    const char c = *word;
    if (is_digit(c) || c == '-' || c == '+' || c == '.' || c == 'i' || c == 'I' || c == 'n' ||
        c == 'N')
      return false;
  }
  *next = nl + 1;
  return true;
}

// The digits of a plain decimal of length characters at p (at most 9),
// whole of them before the point (or all when there is none): the point
// taken out, the digits closing up from the first byte.
GLM_INLINE uint64_t decimal_digits(const char* p, int length, int whole) {
  uint64_t v = load8(p);
  if (whole < 8) {
    // With no point this takes out a byte after the number: no matter.
    const uint64_t before = (uint64_t(1) << (8 * whole)) - 1;
    v = (v & before) | ((v >> 8) & ~before);
    if (length == 9) v |= uint64_t(static_cast<uint8_t>(p[8])) << 56;
  }
  return v;
}

// The floats of count decimals from their digit words (words has room for
// 3 more) and fraction lengths: false when a value is too big for
// plain_value.
template <int kCount>
GLM_INLINE bool decimal_values(Plain, const uint64_t* words, const int* fraction,
                               const bool* negative, float* out) {
  float values[kCount];
  for (int i = 0; i < kCount; i++) {
    const uint32_t mantissa = word_value(words[i]);
    if (mantissa > (uint32_t(1) << 24)) return false;
    values[i] = plain_value(mantissa, fraction[i], negative[i]);
  }
  for (int i = 0; i < kCount; i++) out[i] = values[i];
  return true;
}

#ifdef GLM_HAVE_AVX2
template <int kCount>
GLM_AVX2 inline bool decimal_values(Avx2, const uint64_t* words, const int* fraction,
                                    const bool* negative, float* out) {
  static const float kPowers[9] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f};
  const __m128i mantissas = four_word_values(
      _mm256_set_epi64x(0, kCount == 3 ? static_cast<long long>(words[kCount - 1]) : 0,
                        static_cast<long long>(words[1]), static_cast<long long>(words[0])));
  if (_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpgt_epi32(mantissas, _mm_set1_epi32((1 << 24) | 0)))) &
      ((1 << kCount) - 1))
    return false;
  const __m128 powers = _mm_setr_ps(kPowers[fraction[0]], kPowers[fraction[1]],
                                    kCount == 3 ? kPowers[fraction[kCount - 1]] : 1.0f, 1.0f);
  const __m128i signs = _mm_slli_epi32(
      _mm_setr_epi32(negative[0], negative[1], kCount == 3 ? negative[kCount - 1] : 0, 0), 31);
  const __m128 values =
      _mm_xor_ps(_mm_div_ps(_mm_cvtepi32_ps(mantissas), powers), _mm_castsi128_ps(signs));
  if (kCount == 3)
    _mm_maskstore_ps(out, _mm_setr_epi32(-1, -1, -1, 0), values);
  else
    _mm_storel_pi(reinterpret_cast<__m64*>(out), values);
  return true;
}
#endif

// A number line in the filling pass whose first count words are plain
// decimals (see plain_float), with the same values plain_float gives. The
// words are found all at once, so the numbers are worked out side by side
// instead of each waiting for the end of the one before. Gives where the
// next line starts.
// Where the numbers of a number line are, found from its masks; the next
// line whose masks are the same has its numbers in the same places, and is
// as plainly well formed.
struct NumberLayout {
  uint64_t blank = 0, dot = 0, minus = 0, other = 0;
  int length = -1;
  int from[3], length_of[3], whole[3], fraction[3];
  bool negative[3];
};

template <int kCount>
GLM_INLINE bool number_layout(const LineBits<uint64_t>& m, NumberLayout* layout) {
  const uint64_t word = ((uint64_t(1) << m.length) - 1) & ~m.blank;
  const uint64_t firsts = word & ~(word << 1);
  uint64_t starts = firsts, stops = word & ~(word >> 1);
  int start[kCount], stop[kCount];
  for (int i = 0; i < kCount; i++) {
    if (!starts) return false;
    start[i] = lowest_bit(starts);
    stop[i] = lowest_bit(stops) + 1;
    starts &= starts - 1;
    stops &= stops - 1;
  }
  // The words read: nothing but digits, a minus sign in front and at most
  // one point each (adding the points to the words carries each one to its
  // word's end, and a second point in a word stays set).
  const uint64_t read = (uint64_t(2) << (stop[kCount - 1] - 1)) - 1;
  if ((m.other & read) || (m.minus & ~firsts & read) || ((word + (m.dot & read)) & m.dot & read))
    return false;
  for (int i = 0; i < kCount; i++) {
    const bool negative = (m.minus >> start[i]) & 1;
    const int from = start[i] + negative, length = stop[i] - from;
    const uint64_t dots = (m.dot >> from) & ((uint64_t(1) << length) - 1);
    const int whole = dots ? lowest_bit(dots) : length;
    const int fraction = dots ? length - whole - 1 : 0;
    if (whole + fraction == 0 || whole + fraction > 8) return false;
    layout->from[i] = from;
    layout->length_of[i] = length;
    layout->whole[i] = whole;
    layout->fraction[i] = fraction;
    layout->negative[i] = negative;
  }
  layout->blank = m.blank;
  layout->dot = m.dot;
  layout->minus = m.minus;
  layout->other = m.other;
  layout->length = m.length;
  return true;
}

template <int kCount, int kBlocks, typename Isa>
GLM_INLINE bool numbers_within(Isa isa, const char* after_word, const char* end, float* out,
                               const char** next, NumberLayout* layout) {
  LineBits<uint64_t> m;
  {
    // 8 more bytes for reading digits near the line end.
    Masks32 blocks[2];
    if (classify_blocks<false, kBlocks>(isa, after_word, end, 8, blocks) != kBlocks) return false;
    line_bits<false>(blocks, kBlocks, &m);
  }
  if (m.length != layout->length || m.blank != layout->blank || m.dot != layout->dot ||
      m.minus != layout->minus || m.other != layout->other) {
    if (!number_layout<kCount>(m, layout)) {
      layout->length = -1;
      return false;
    }
  }
  uint64_t words[kCount + 3] = {};
  for (int i = 0; i < kCount; i++)
    words[i] = digit_word(
        decimal_digits(after_word + layout->from[i], layout->length_of[i], layout->whole[i]),
        layout->whole[i] + layout->fraction[i]);
  if (!decimal_values<kCount>(isa, words, layout->fraction, layout->negative, out)) return false;
  *next = after_word + m.length + 1;
  return true;
}

// Most number lines end within 32 bytes.
template <int kCount, typename Isa>
GLM_INLINE bool fast_numbers(Isa isa, const char* after_word, const char* end, float* out,
                             const char** next, NumberLayout* layout) {
  return numbers_within<kCount, 1>(isa, after_word, end, out, next, layout) ||
         numbers_within<kCount, 2>(isa, after_word, end, out, next, layout);
}

}  // namespace glm_scan

#endif  // PLINKAR_GLM_LINE_SCAN_H
