// line_scan.h: fast paths for the common, well-formed OBJ lines. Text is
// classified 16 bytes at a time into bit masks (blanks, digits, slashes,
// points), from which a face's corners or a number line's words are found
// without a branch per character. Whenever a line is not plainly well formed
// (too long, near the end of the text, odd characters, a face that may go
// on to the next line) the fast path declines and the exact reader takes
// over, so results never depend on which path ran. Internal to the model
// library.
#ifndef PLINKAR_GLM_LINE_SCAN_H
#define PLINKAR_GLM_LINE_SCAN_H

#include <emmintrin.h>

#include <cstdint>
#include <cstring>

#include "glm/text_scan.h"

namespace glm_scan {

// Bit i describes line[i], for the first 64 bytes of a number line.
struct LineMasks {
  uint64_t blank;  // ' ', '\t', '\r'
  uint64_t digit;
  uint64_t dot;
  uint64_t minus;
  uint64_t other;  // anything else before the line end
  int length;      // index of the '\n'
};

// Classifies the line starting at p, 16 bytes at a time up to its line
// end. False when the line does not end within 64 bytes or fewer than 72
// bytes of text remain.
inline bool classify_line(const char* p, const char* end, LineMasks* m) {
  // 64 bytes to classify at most, and 8 more for reading digits near the
  // line end.
  if (end - p < 72) return false;
  const __m128i space = _mm_set1_epi8(' '), tab = _mm_set1_epi8('\t'), cr = _mm_set1_epi8('\r');
  const __m128i nl = _mm_set1_epi8('\n'), point = _mm_set1_epi8('.'), dash = _mm_set1_epi8('-');
  const __m128i shift = _mm_set1_epi8(static_cast<char>(128 - '0'));
  const __m128i ten = _mm_set1_epi8(static_cast<char>(-128 + 10));
  uint64_t blank = 0, digit = 0, dot = 0, known = 0, newline = 0;
  for (int i = 0; i < 4 && !newline; i++) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
    const __m128i b = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, space), _mm_cmpeq_epi8(x, tab)),
                                   _mm_cmpeq_epi8(x, cr));
    const __m128i d = _mm_cmplt_epi8(_mm_add_epi8(x, shift), ten);
    const __m128i o = _mm_cmpeq_epi8(x, point);
    const __m128i k = _mm_or_si128(_mm_or_si128(b, d), _mm_or_si128(o, _mm_cmpeq_epi8(x, dash)));
    const int at = 16 * i;
    blank |= uint64_t(uint16_t(_mm_movemask_epi8(b))) << at;
    digit |= uint64_t(uint16_t(_mm_movemask_epi8(d))) << at;
    dot |= uint64_t(uint16_t(_mm_movemask_epi8(o))) << at;
    known |= uint64_t(uint16_t(_mm_movemask_epi8(k))) << at;
    newline |= uint64_t(uint16_t(_mm_movemask_epi8(_mm_cmpeq_epi8(x, nl)))) << at;
  }
  if (!newline) return false;
  m->length = __builtin_ctzll(newline);
  const uint64_t inside = (uint64_t(1) << m->length) - 1;
  m->blank = blank & inside;
  m->digit = digit & inside;
  m->dot = dot & inside;
  m->other = inside & ~known;
  // What is left of the known bytes after blanks, digits and points.
  m->minus = inside & known & ~(blank | digit | dot);
  return true;
}

// A face line "f c c c ..." whose corners are plainly one of the four
// forms, all alike, each value an unsigned number (of at most 8 digits when
// the values are wanted). On success gives the corner count and values, the
// form as the exact reader names it (0 v, 1 v/t, 2 v/t/n, 3 v//n), and
// where the reader goes on: the first word after the face, which must not
// start a number, or the face would go on there.
struct FastFace {
  enum { kMaxCorners = 32 };
  int corners;
  int form;
  uint32_t value[kMaxCorners][3];
  const char* next;
};

// One corner word at q, classified 32 bytes at once: its length and the
// form its slashes make. False when it is not plainly a corner.
struct CornerShape {
  int length;
  int form;
  int slash1 = 0, slash2 = 0;  // positions of its slashes, when it has them
};

inline bool corner_shape(const char* q, const char* end, CornerShape* shape) {
  if (end - q < 40) return false;  // 32 to classify, 8 for reading digits
  const __m128i shift = _mm_set1_epi8(static_cast<char>(128 - '0'));
  const __m128i ten = _mm_set1_epi8(static_cast<char>(-128 + 10));
  const __m128i sl = _mm_set1_epi8('/');
  __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
  __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q + 16));
  uint32_t digit =
      uint32_t(uint16_t(_mm_movemask_epi8(_mm_cmplt_epi8(_mm_add_epi8(a, shift), ten)))) |
      uint32_t(uint16_t(_mm_movemask_epi8(_mm_cmplt_epi8(_mm_add_epi8(b, shift), ten)))) << 16;
  uint32_t slash = uint32_t(uint16_t(_mm_movemask_epi8(_mm_cmpeq_epi8(a, sl)))) |
                   uint32_t(uint16_t(_mm_movemask_epi8(_mm_cmpeq_epi8(b, sl)))) << 16;
  uint64_t ended = ~(uint64_t(digit | slash));  // bits 32..63 always set
  int length = __builtin_ctzll(ended);
  if (length >= 32) return false;
  char after = q[length];
  if (after != ' ' && after != '\t' && after != '\r' && after != '\n') return false;
  slash &= (uint32_t(1) << length) - 1;
  // Starts and ends with a digit.
  if (!(digit & 1) || !(digit & (uint32_t(1) << (length - 1)))) return false;
  shape->length = length;
  if (!slash) {
    shape->form = 0;
    return true;
  }
  int first = __builtin_ctz(slash);
  uint32_t rest = slash & (slash - 1);
  shape->slash1 = first;
  if (!rest) {
    shape->form = 1;
    return true;
  }
  if (rest & (rest - 1)) return false;
  int second = __builtin_ctz(rest);
  shape->slash2 = second;
  shape->form = second == first + 1 ? 3 : 2;
  return true;
}

// With Values, limits gives each slot's count: a value outside 1..count
// makes the face decline, so that the exact reader reports it.
template <bool Values>
inline bool fast_face(const char* p, const char* end, FastFace* face,
                      const uint32_t* limits = nullptr) {
  uint32_t out_of_range = 0;
  // p is at the word "f"; the first corner must follow on the same line.
  const char* q = p + 1;
  while (q < end && (*q == ' ' || *q == '\t')) q++;
  int corners = 0;
  int form = -1;
  for (;;) {
    if (q >= end || !is_digit(*q) || corners == FastFace::kMaxCorners) return false;
    CornerShape shape;
    if (!corner_shape(q, end, &shape)) return false;
    if (form < 0) form = shape.form;
    if (shape.form != form) return false;
    if (Values) {
      // The runs of digits between the slashes, and the slot each fills.
      int starts[3] = {0, shape.slash1 + 1, shape.slash2 + 1};
      int stops[3] = {shape.length, shape.length, shape.length};
      int slots[3] = {0, 1, 2};
      int runs = 1;
      if (form == 1) {
        stops[0] = shape.slash1;
        runs = 2;
      } else if (form == 2) {
        stops[0] = shape.slash1;
        stops[1] = shape.slash2;
        runs = 3;
      } else if (form == 3) {
        stops[0] = shape.slash1;
        starts[1] = shape.slash2 + 1;
        slots[1] = 2;
        runs = 2;
      }
      for (int r = 0; r < runs; r++) {
        int n = stops[r] - starts[r];
        if (n > 8) return false;
        const uint32_t value = parse_digits(q + starts[r], n);
        face->value[corners][slots[r]] = value;
        out_of_range |= static_cast<uint32_t>(value - 1 >= limits[slots[r]]);
      }
    }
    corners++;
    q += shape.length;
    while (*q == ' ' || *q == '\t' || *q == '\r') {
      if (++q == end) return false;
    }
    if (*q == '\n') break;
    if (!is_digit(*q)) {
      // A word that is no number, such as a comment, ends the face; a sign
      // would be half read and a rarer blank ('\v', '\f') skipped, so leave
      // those to the exact reader.
      if (*q == '-' || *q == '+' || is_space(*q) || out_of_range) return false;
      face->corners = corners;
      face->form = form;
      face->next = q;
      return true;
    }
  }
  // A following word that starts a number would continue the face.
  const char* next = skip_space(q, end);
  if (next < end && (is_digit(*next) || *next == '-' || *next == '+')) return false;
  if (out_of_range) return false;
  face->corners = corners;
  face->form = form;
  face->next = next;
  return true;
}

// A number line ("v x y z", "vt u v") in the counting pass: wherever its
// numbers end, reading them ends on this line unless they could run on to
// the next word, and a word that cannot start a number stops them. So when
// the next line starts with such a word (a statement, as it nearly always
// does) the line is simply skipped. Gives where the next line starts.
inline bool fast_number_line(const char* after_word, const char* end, const char** next) {
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

// A number line in the filling pass whose first count words are plain
// decimals (see plain_float), with the same values plain_float gives. The
// words are found all at once, so the numbers are worked out side by side
// instead of each waiting for the end of the one before. Gives where the
// next line starts.
inline bool fast_numbers(const char* after_word, const char* end, int count, float* out,
                         const char** next) {
  LineMasks m;
  if (!classify_line(after_word, end, &m)) return false;
  const uint64_t word = ((uint64_t(1) << m.length) - 1) & ~m.blank;
  uint64_t starts = word & ~(word << 1);
  float values[3] = {0.0f, 0.0f, 0.0f};
  for (int i = 0; i < count; i++) {
    if (!starts) return false;
    const int start = __builtin_ctzll(starts);
    starts &= starts - 1;
    const int stop = __builtin_ctzll(~word >> start) + start;  // first byte after the word
    const uint64_t span = (~uint64_t(0) << start) & ~(~uint64_t(0) << stop);
    const uint64_t dots = m.dot & span;
    if ((m.other & span) || (m.minus & span & (span << 1)) || (dots & (dots - 1))) return false;
    const int digits_from = start + ((m.minus >> start) & 1);
    const int point = dots ? __builtin_ctzll(dots) : stop;
    const int whole = point - digits_from;
    const int fraction = dots ? stop - point - 1 : 0;
    uint32_t mantissa;
    if (whole + fraction == 0 || whole + fraction > 8 ||
        !plain_mantissa(after_word + digits_from, whole, after_word + point + 1, fraction,
                        &mantissa))
      return false;
    values[i] = plain_value(mantissa, fraction, digits_from > start);
  }
  out[0] = values[0];
  out[1] = values[1];
  if (count == 3) out[2] = values[2];
  *next = after_word + m.length + 1;
  return true;
}

}  // namespace glm_scan

#endif  // PLINKAR_GLM_LINE_SCAN_H
