// text_scan.h: the word, number and line readers that the OBJ and MTL
// readers share. They work on a file held in memory and consume exactly
// what the C library's scanf would ("%s", "%d", literal '/' and "%f"), so a
// file reads the same as it would through a stream, only much faster.
// Internal to the model library.
#ifndef PLINKAR_GLM_TEXT_SCAN_H
#define PLINKAR_GLM_TEXT_SCAN_H

#include <emmintrin.h>
#include <fast_float/fast_float.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
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
// digits (see plain_value). Declines everything else, "0x" included.
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
  if (whole_digits + fraction_digits == 0 || whole_digits + fraction_digits > 8 ||
      (*q | 0x20) == 'e' || (*q | 0x20) == 'x' ||
      !plain_mantissa(whole, whole_digits, fraction, fraction_digits, &mantissa))
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

inline bool is_hex_digit(char c) { return is_digit(c) || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f'); }

inline unsigned hex_digit_value(char c) {
  return is_digit(c) ? unsigned(c - '0') : unsigned((c | 0x20) - 'a' + 10);
}

// The letters of word (lower case) in any case; q moves past them.
inline bool match_letters(const char*& q, const char* end, const char* word) {
  for (; *word; ++word, ++q)
    if (q == end || (*q | 0x20) != *word) return false;
  return true;
}

// Hexadecimal digits (with at most one point) times 2^exponent, rounded to
// the nearest float, ties to even, as strtof rounds. Digits are kept while
// they fit in 64 bits; the rest only tell whether anything was cut off.
inline float hex_value(const char* p, const char* stop, int64_t exponent) {
  uint64_t mantissa = 0;
  bool cut = false, fraction = false;
  for (; p < stop; ++p) {
    if (*p == '.') {
      fraction = true;
      continue;
    }
    const unsigned digit = hex_digit_value(*p);
    if (mantissa >> 60 == 0) {
      mantissa = mantissa << 4 | digit;
      exponent -= fraction ? 4 : 0;
    } else {
      cut |= digit != 0;
      exponent += fraction ? 0 : 4;
    }
  }
  if (mantissa == 0) return 0.0f;
  const int64_t top = 63 - __builtin_clzll(mantissa) + exponent;  // 2^top <= value < 2^(top+1)
  if (top > 127) return HUGE_VALF;
  // Weight of the last bit a float keeps here: 24 bits, or fewer below 2^-126.
  const int64_t last = top - 23 > -149 ? top - 23 : -149;
  const int64_t shift = last - exponent;
  uint64_t kept = 0, rest = 0, half = 0;
  if (shift <= 0) {
    kept = mantissa << -shift;
  } else if (shift < 64) {
    kept = mantissa >> shift;
    rest = mantissa & ((uint64_t(1) << shift) - 1);
    half = uint64_t(1) << (shift - 1);
  } else if (shift == 64) {
    rest = mantissa;
    half = uint64_t(1) << 63;
  }  // else below half the smallest float: 0
  if (half && (rest > half || (rest == half && (cut || (kept & 1))))) kept++;
  return static_cast<float>(std::ldexp(static_cast<double>(kept), static_cast<int>(last)));
}

// scanf "%f" once the blanks are skipped, as glibc reads it: an optional
// sign, then "nan", "inf" or "infinity" in any case, or a decimal or "0x"
// hexadecimal number with an optional point and exponent. It takes what
// scanf takes, which may be more than the value needs ("1e+", "0x1p"), and a
// spelling that scanf gives up on half way ("infin", "0x", "-") is no
// number. Sets next to the end of the number.
__attribute__((noinline)) inline bool scan_number(const char* q, const char* end, float& out,
                                                  const char*& next) {
  bool negative = false;
  if (*q == '-' || *q == '+') {
    negative = *q == '-';
    if (++q == end) return false;
  }
  float value;
  const char lower = *q | 0x20;
  if (lower == 'n' || lower == 'i') {
    // "nan" stops before any "(...)"; "inf" goes on only into "infinity".
    if (!match_letters(q, end, lower == 'n' ? "nan" : "inf")) return false;
    if (lower == 'i' && q < end && (*q | 0x20) == 'i' && !match_letters(q, end, "inity"))
      return false;
    value = lower == 'n' ? std::numeric_limits<float>::quiet_NaN() : HUGE_VALF;
  } else {
    const char* start = q;
    bool hex = false, digit = false, point = false;
    const char* mark = nullptr;  // the exponent's 'e' or 'p'
    if (*q == '0') {
      ++q;
      hex = q < end && (*q | 0x20) == 'x';
      q += hex;
      digit = !hex;
    }
    const char* digits = q;
    for (; q < end; ++q) {
      const char c = *q;
      if (is_digit(c) || (hex && !mark && is_hex_digit(c))) {
        digit = true;
      } else if (digit && !mark && (c | 0x20) == (hex ? 'p' : 'e')) {
        mark = q;
        point = true;  // none after the mark
      } else if (c == '.' && !point) {
        point = true;
      } else if (!(mark && q == mark + 1 && (c == '-' || c == '+'))) {
        break;
      }
    }
    if (q == start || (hex && q - start == 2)) return false;
    if (hex) {
      int64_t exponent = 0;
      if (mark) {
        const char* e = mark + 1;
        const bool down = e < q && *e == '-';
        e += e < q && (*e == '-' || *e == '+');
        for (; e < q; ++e)
          if (exponent < (int64_t(1) << 40)) exponent = exponent * 10 + (*e - '0');
        if (down) exponent = -exponent;
      }
      value = hex_value(digits, mark ? mark : q, exponent);
    } else {
      // Rounded exactly as strtof rounds; a dangling exponent mark is left
      // out of the value but stays consumed.
      const fast_float::from_chars_result r = fast_float::from_chars(start, q, value);
      if (r.ec != std::errc() && r.ec != std::errc::result_out_of_range) return false;
    }
  }
  out = negative ? -value : value;
  next = q;
  return true;
}

// scanf "%f": skips blanks and line ends, then reads a number as
// scan_number does. Plain decimals take a shortcut with the same result.
// Out of line, so that the readers' loops around it, which nearly always
// take the fast paths of line_scan.h instead, stay small.
__attribute__((noinline)) inline bool scan_float(const char*& p, const char* end, float& out) {
  const char* q = skip_space(p, end);
  if (q == end) return false;
  if (plain_float(q, end, out) || scan_number(q, end, out, q)) {
    p = q;
    return true;
  }
  return false;
}

// Reads up to count floats into out as that many "%f" conversions would
// (the numbers may run on to following lines), stopping at the first word
// that is no number. p ends after the last number read, or stays where it
// was when none could be read. Returns how many were read; the others stay
// untouched.
inline int scan_floats(const char*& p, const char* end, float* out, int count) {
  int read = 0;
  while (read < count && scan_float(p, end, out[read])) read++;
  return read;
}

// scan_floats, then drops the rest of the line on which the last number
// read ended, or of the statement's own line when none could be read.
// Ending at a line keeps both passes of the OBJ reader in step on any input.
inline int read_floats(const char*& p, const char* end, float* out, int count) {
  const int read = scan_floats(p, end, out, count);
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

// 1-based number of the line that holds pos, begin being on line first.
// 64 bits: a file of more than 4 GB can have more lines than 32 bits count.
inline uint64_t line_number(const char* begin, const char* pos, uint64_t first = 1) {
  uint64_t line = first;
  for (const char* c = begin; c < pos; ++c) line += (*c == '\n');
  return line;
}

}  // namespace glm_scan

#endif  // PLINKAR_GLM_TEXT_SCAN_H
