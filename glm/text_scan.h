// text_scan.h: the word, number and line readers that the OBJ and MTL
// readers share. They work on a file held in memory and consume exactly
// what the C library's scanf would ("%s", "%d", literal '/' and "%f"), so a
// file reads the same as it would through a stream, only much faster.
// Internal to the model library.
#ifndef PLINKAR_GLM_TEXT_SCAN_H
#define PLINKAR_GLM_TEXT_SCAN_H

#include <emmintrin.h>
#include <fast_float/fast_float.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace glm_scan {

// The whitespace of isspace() in the C locale. A carriage return is a blank
// between words; only '\n' ends a line.
inline bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

inline bool is_digit(char c) { return c >= '0' && c <= '9'; }

inline const char* skip_space(const char* p, const char* end) {
  while (p < end && is_space(*p)) ++p;
  return p;
}

inline const char* word_end(const char* p, const char* end) {
  while (p < end && !is_space(*p)) ++p;
  return p;
}

// End of the line's content: the '\n', or the end of the text. Lines are
// short, so an inline 16-byte search beats a call to memchr.
inline const char* line_end(const char* p, const char* end) {
  const __m128i nl = _mm_set1_epi8('\n');
  while (end - p >= 16) {
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, nl)));
    if (mask) return p + __builtin_ctz(mask);
    p += 16;
  }
  const void* found = std::memchr(p, '\n', static_cast<size_t>(end - p));
  return found ? static_cast<const char*>(found) : end;
}

// Past the next '\n', or the end of the text.
inline const char* skip_line(const char* p, const char* end) {
  const char* nl = line_end(p, end);
  return nl < end ? nl + 1 : end;
}

inline uint64_t load8(const char* s) {
  uint64_t v;
  memcpy(&v, s, 8);
  return v;
}

// The n (1..8) ASCII digits that start the 8 bytes v holds (read from
// memory: the first character in the lowest byte) as digit values, moved
// to the end with zeros before them: the last digit in the highest byte.
inline uint64_t digit_word(uint64_t v, int n) {
  return (v & 0x0F0F0F0F0F0F0F0FULL) << (64 - 8 * n);
}

// The value of a digit word.
inline uint32_t word_value(uint64_t v) {
  v = (v * 2561) >> 8;
  v = ((v & 0x00FF00FF00FF00FFULL) * 6553601) >> 16;
  return static_cast<uint32_t>(((v & 0x0000FFFF0000FFFFULL) * 42949672960001ULL) >> 32);
}

// Value of n (0..8) ASCII digits at s; s must have 8 readable bytes.
inline uint32_t parse_digits(const char* s, int n) {
  return n == 0 ? 0 : word_value(digit_word(load8(s), n));
}

// Number of ASCII digits at s, up to 16; s must have 16 readable bytes.
inline int count_digits(const char* s) {
  __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
  __m128i digit = _mm_cmplt_epi8(_mm_add_epi8(x, _mm_set1_epi8(static_cast<char>(128 - '0'))),
                                 _mm_set1_epi8(static_cast<char>(-128 + 10)));
  unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(digit)) ^ 0xFFFFu;
  return mask ? __builtin_ctz(mask) : 16;
}

// The value of a plain decimal whose whole and fraction digits, read as
// one integer, give mantissa: exact as strtof when mantissa is at most 2^24
// and fraction at most 8 digits, for then the integer and the power of ten
// are both exact in a float and one division rounds as strtof does.
inline float plain_value(uint32_t mantissa, int fraction, bool negative) {
  static const float kPowers[9] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f};
  const float value = static_cast<float>(mantissa) / kPowers[fraction];
  return negative ? -value : value;
}

const uint32_t kScales[9] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

// Joins the whole and fraction digit runs (at most 8 digits in all) into
// one integer; false when it is too large for plain_value.
inline bool plain_mantissa(const char* whole, int whole_digits, const char* fraction,
                           int fraction_digits, uint32_t* mantissa) {
  *mantissa = parse_digits(whole, whole_digits) * kScales[fraction_digits] +
              parse_digits(fraction, fraction_digits);
  return *mantissa <= (uint32_t(1) << 24);
}

// The common plain decimal ("-12.5", "0.287346"): no exponent, at most 8
// digits (see plain_value). Declines everything else.
inline bool plain_float(const char*& p, const char* end, float& out) {
  if (end - p < 40) return false;
  const char* q = p;
  const bool negative = *q == '-';
  q += negative;
  const char* whole = q;
  const int whole_digits = count_digits(q);
  q += whole_digits;
  int fraction_digits = 0;
  if (*q == '.') fraction_digits = count_digits(++q);
  const char* fraction = q;
  q += fraction_digits;
  uint32_t mantissa;
  if (whole_digits + fraction_digits == 0 || whole_digits + fraction_digits > 8 || *q == 'e' ||
      *q == 'E' || !plain_mantissa(whole, whole_digits, fraction, fraction_digits, &mantissa))
    return false;
  out = plain_value(mantissa, fraction_digits, negative);
  p = q;
  return true;
}

// scanf "%d": skips blanks and line ends, takes an optional sign and the
// digits. A sign with no digit after it is consumed and the read fails, as
// in glibc. Values too large for 32 bits saturate far outside any count, so
// they are reported as bad indices instead of wrapping into good ones.
inline bool scan_int(const char*& p, const char* end, int64_t& out) {
  p = skip_space(p, end);
  if (p == end) return false;
  bool negative = false;
  if (*p == '-' || *p == '+') {
    negative = *p == '-';
    ++p;
  }
  if (p == end || !is_digit(*p)) return false;
  int64_t value = 0;
  const int64_t limit = int64_t(1) << 40;
  do {
    if (value < limit) value = value * 10 + (*p - '0');
    ++p;
  } while (p < end && is_digit(*p));
  out = negative ? -value : value;
  return true;
}

// A literal character of a scanf format: consumed only when it matches.
inline bool scan_literal(const char*& p, const char* end, char c) {
  if (p < end && *p == c) {
    ++p;
    return true;
  }
  return false;
}

// scanf "%f": skips blanks and line ends, then takes the longest number
// strtof would take, rounded as strtof rounds. Like glibc's scanf it also
// swallows a dangling exponent mark ("1e", "1e+") after the digits.
inline bool scan_float(const char*& p, const char* end, float& out) {
  const char* q = skip_space(p, end);
  if (q == end) return false;
  if (plain_float(q, end, out)) {
    p = q;
    return true;
  }
  const char* start = q;
  if (*q == '+') {
    ++start;
    if (start == end || *start == '-' || *start == '+') return false;
  }
  float value = 0.0f;
  fast_float::from_chars_result r = fast_float::from_chars(start, end, value);
  if (r.ec != std::errc() && r.ec != std::errc::result_out_of_range) return false;
  const char* after = r.ptr;
  if (after < end && (*after == 'e' || *after == 'E') &&
      (is_digit(*start) || *start == '.' || *start == '-')) {
    bool has_exponent = false;
    for (const char* c = start; c < after; ++c) has_exponent |= (*c == 'e' || *c == 'E');
    if (!has_exponent) {
      ++after;
      if (after < end && (*after == '+' || *after == '-')) ++after;
    }
  }
  out = value;
  p = after;
  return true;
}

// Reads up to count floats into out (the statement's numbers may run on to
// following lines, as with scanf), then drops the rest of the line on which
// the last number read ended, or of the statement's own line when none
// could be read. Returns how many were read; the others stay untouched.
// Ending at a line keeps both passes of a reader in step on any input.
inline int read_floats(const char*& p, const char* end, float* out, int count) {
  int read = 0;
  while (read < count) {
    float value;
    if (!scan_float(p, end, value)) break;
    out[read++] = value;
  }
  p = skip_line(p, end);
  return read;
}

// The same movement as read_floats without converting anything. When the
// rest of the line holds count or more words the reading ends on this line
// (no number is wider than a word), so only the line needs scanning.
inline void skip_floats(const char*& p, const char* end, int count) {
  const char* q = p;
  int words = 0;
  while (q < end && *q != '\n') {
    if (is_space(*q)) {
      ++q;
      continue;
    }
    if (++words == count) break;
    while (q < end && !is_space(*q)) ++q;
  }
  if (words == count) {
    p = skip_line(q, end);
    return;
  }
  float scratch[4];
  read_floats(p, end, scratch, count);
}

// A name on an mtllib, usemtl or newmtl line: the first word of the rest of
// the line, or the second when there are two or more.
inline std::string line_name(const char* p, const char* end) {
  const char* stop = line_end(p, end);
  const char* first = skip_space(p, stop);
  const char* first_end = word_end(first, stop);
  const char* second = skip_space(first_end, stop);
  if (second < stop) return std::string(second, word_end(second, stop));
  return std::string(first, first_end);
}

// 1-based number of the line that holds pos.
inline unsigned line_number(const char* begin, const char* pos) {
  unsigned line = 1;
  for (const char* c = begin; c < pos; ++c) line += (*c == '\n');
  return line;
}

}  // namespace glm_scan

#endif  // PLINKAR_GLM_TEXT_SCAN_H
