#include "player/avm2/number_digits.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace flashsaver::avm2 {
namespace {

// Non-negative big integer, little-endian 32-bit limbs; only what the digit generator needs.
class BigNat {
 public:
  BigNat() = default;
  explicit BigNat(uint64_t v) {
    while (v != 0) {
      limbs_.push_back(static_cast<uint32_t>(v));
      v >>= 32;
    }
  }
  bool IsZero() const { return limbs_.empty(); }
  void MulSmall(uint32_t m) {
    uint64_t carry = 0;
    for (uint32_t& limb : limbs_) {
      uint64_t p = uint64_t{limb} * m + carry;
      limb = static_cast<uint32_t>(p);
      carry = p >> 32;
    }
    if (carry != 0) limbs_.push_back(static_cast<uint32_t>(carry));
    if (m == 0) limbs_.clear();
  }
  void MulPow10(int n) {
    for (; n >= 9; n -= 9) MulSmall(1000000000u);
    for (; n > 0; --n) MulSmall(10u);
  }
  void ShiftLeft(int bits) {
    if (IsZero() || bits <= 0) return;
    limbs_.insert(limbs_.begin(), static_cast<size_t>(bits / 32), 0u);
    int rest = bits % 32;
    if (rest == 0) return;
    uint32_t carry = 0;
    for (uint32_t& limb : limbs_) {
      uint32_t next = limb >> (32 - rest);
      limb = limb << rest | carry;
      carry = next;
    }
    if (carry != 0) limbs_.push_back(carry);
  }
  void Add(const BigNat& o) {
    if (limbs_.size() < o.limbs_.size()) limbs_.resize(o.limbs_.size(), 0u);
    uint64_t carry = 0;
    for (size_t i = 0; i < limbs_.size(); ++i) {
      uint64_t s = uint64_t{limbs_[i]} + (i < o.limbs_.size() ? o.limbs_[i] : 0u) + carry;
      limbs_[i] = static_cast<uint32_t>(s);
      carry = s >> 32;
    }
    if (carry != 0) limbs_.push_back(static_cast<uint32_t>(carry));
  }
  // this -= o; requires this >= o.
  void Sub(const BigNat& o) {
    int64_t borrow = 0;
    for (size_t i = 0; i < limbs_.size(); ++i) {
      int64_t d = int64_t{limbs_[i]} - (i < o.limbs_.size() ? o.limbs_[i] : 0u) - borrow;
      borrow = d < 0 ? 1 : 0;
      limbs_[i] = static_cast<uint32_t>(d + (borrow << 32));
    }
    Trim();
  }
  friend int Compare(const BigNat& a, const BigNat& b) {
    if (a.limbs_.size() != b.limbs_.size()) return a.limbs_.size() < b.limbs_.size() ? -1 : 1;
    for (size_t i = a.limbs_.size(); i-- > 0;) {
      if (a.limbs_[i] != b.limbs_[i]) return a.limbs_[i] < b.limbs_[i] ? -1 : 1;
    }
    return 0;
  }
  friend BigNat Sum(BigNat a, const BigNat& b) {
    a.Add(b);
    return a;
  }

 private:
  void Trim() {
    while (!limbs_.empty() && limbs_.back() == 0) limbs_.pop_back();
  }
  std::vector<uint32_t> limbs_;
};

double PowTen(int n) {
  static constexpr double kTable[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                      1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                      1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  if (n >= 0 && n < 23) return kTable[n];
  // Beyond the table the player multiplies by squaring.
  double base = 10, value = 1;
  for (unsigned e = static_cast<unsigned>(n < 0 ? -n : n); e != 0; e >>= 1, base *= base) {
    if (e & 1) value *= base;
  }
  return n < 0 ? 1 / value : value;
}

// Free-format digit generation: digits of r/s while the remainder stays outside the margins
// m- and m+ around it. Precision modes scale r and s by 10^precision (leaving margins alone),
// which lets the digits run that many places further before they stop.
class DigitGenerator {
 public:
  DigitGenerator(double value, bool fixed_precision, int min_precision) {
    uint64_t mantissa = 0;
    if (value != 0) {
      uint64_t bits;
      std::memcpy(&bits, &value, sizeof bits);
      int biased = static_cast<int>(bits >> 52 & 0x7ff);
      mantissa = bits & 0xfffffffffffffULL;
      if (biased != 0) {
        mantissa |= 1ULL << 52;
        e_ = biased - 1075;
      } else {
        // Subnormals are normalised like the C library's frexp normalises them.
        e_ = -1074;
        while (mantissa < (1ULL << 52)) {
          mantissa <<= 1;
          --e_;
        }
      }
    } else {
      e_ = -53;
    }
    low_ok_ = high_ok_ = fixed_precision || (mantissa & 1) == 0;
    int prec = 0;
    for (int b = 52; b >= 0; --b) {
      if (mantissa >> b & 1) {
        prec = b + 1;
        break;
      }
    }
    mantissa_bits_ = prec == 0 ? 1 : prec;
    const bool power_of_two = mantissa == (1ULL << 52);
    fast_ = (e_ > 0 ? e_ : -e_) + mantissa_bits_ - 1 < 50;
    if (fast_) {
      double m = static_cast<double>(mantissa);
      if (e_ >= 0) {
        double be = std::ldexp(1.0, e_);
        dr_ = m * be * (power_of_two ? 4 : 2);
        ds_ = power_of_two ? 4 : 2;
        dplus_ = power_of_two ? be * 2 : be;
        dminus_ = be;
      } else {
        dr_ = m * (power_of_two ? 4 : 2);
        ds_ = std::ldexp(1.0, (power_of_two ? 2 : 1) - e_);
        dplus_ = power_of_two ? 2 : 1;
        dminus_ = 1;
      }
      if (fixed_precision) {
        double p = PowTen(min_precision);
        ds_ *= p;
        dr_ *= p;
      }
    } else {
      BigNat m(mantissa);
      if (e_ >= 0) {
        r_ = m;
        r_.ShiftLeft(e_);
        r_.MulSmall(power_of_two ? 4 : 2);
        s_ = BigNat(power_of_two ? 4 : 2);
        plus_ = BigNat(1);
        plus_.ShiftLeft(power_of_two ? e_ + 1 : e_);
        minus_ = BigNat(1);
        minus_.ShiftLeft(e_);
      } else {
        r_ = m;
        r_.MulSmall(power_of_two ? 4 : 2);
        s_ = BigNat(power_of_two ? 4 : 2);
        s_.ShiftLeft(-e_);
        plus_ = BigNat(power_of_two ? 2 : 1);
        minus_ = BigNat(1);
      }
      if (fixed_precision) {
        s_.MulPow10(min_precision);
        r_.MulPow10(min_precision);
      }
    }
    exp10_ = Scale();
  }

  // value = 0.d1d2... * 10^Exponent()
  int Exponent() const { return exp10_; }
  bool finished() const { return finished_; }
  bool fast() const { return fast_; }

  // The next digit, or -1 once the digits have run out.
  int Next() {
    if (finished_) return -1;
    int64_t q;
    bool low, high;
    if (fast_) {
      double quotient = std::trunc(dr_ / ds_);
      q = quotient >= -2147483648.0 && quotient <= 2147483647.0 ? static_cast<int64_t>(quotient)
                                                                : -2147483648LL;
      dr_ = std::fmod(dr_, ds_);
      low = low_ok_ ? dr_ <= dminus_ : dr_ < dminus_;
      high = high_ok_ ? dr_ + dplus_ >= ds_ : dr_ + dplus_ > ds_;
    } else {
      q = 0;
      while (q < 64 && Compare(r_, s_) >= 0) {
        r_.Sub(s_);
        ++q;
      }
      int c = Compare(r_, minus_);
      low = low_ok_ ? c <= 0 : c < 0;
      int h = Compare(Sum(r_, plus_), s_);
      high = high_ok_ ? h >= 0 : h > 0;
    }
    if (q < 0 || q > 9) q = 0;
    if (!low && !high) {
      Times10();
    } else if (!low) {
      ++q;
      finished_ = true;
    } else if (!high) {
      finished_ = true;
    } else {
      // Both margins reached: round on the remainder, ties up.
      bool under = fast_ ? dr_ * 2 < ds_ : Compare(Sum(r_, r_), s_) < 0;
      if (!under) ++q;
      finished_ = true;
    }
    return static_cast<int>(q);
  }

 private:
  void Times10() {
    if (fast_) {
      dr_ *= 10;
      dplus_ *= 10;
      dminus_ *= 10;
    } else {
      r_.MulSmall(10);
      plus_.MulSmall(10);
      minus_.MulSmall(10);
    }
  }

  int Scale() {
    constexpr double kLog10Of2 = 0.3010299956639812;
    int base2 = e_ + mantissa_bits_ - 1;
    int estimate = static_cast<int>(std::ceil(base2 * kLog10Of2 - 0.0000000001));
    int magnitude = estimate > 0 ? estimate : -estimate;
    if (fast_) {
      double scale = PowTen(magnitude);
      if (estimate >= 0) {
        ds_ *= scale;
      } else {
        dr_ *= scale;
        dplus_ *= scale;
        dminus_ *= scale;
      }
      if (high_ok_ ? dr_ + dplus_ >= ds_ : dr_ + dplus_ > ds_) return estimate + 1;
    } else {
      if (estimate >= 0) {
        s_.MulPow10(magnitude);
      } else {
        r_.MulPow10(magnitude);
        plus_.MulPow10(magnitude);
        minus_.MulPow10(magnitude);
      }
      int h = Compare(Sum(r_, plus_), s_);
      if (high_ok_ ? h >= 0 : h > 0) return estimate + 1;
    }
    Times10();
    return estimate;
  }

  int e_ = 0;
  int mantissa_bits_ = 0;
  bool low_ok_ = false;
  bool high_ok_ = false;
  bool fast_ = false;
  bool finished_ = false;
  int exp10_ = 0;
  double dr_ = 0, ds_ = 0, dplus_ = 0, dminus_ = 0;
  BigNat r_, s_, plus_, minus_;
};

enum class Layout { kInteger, kExponent, kFraction, kFixedFraction };

}  // namespace

std::string FormatDouble(double value, DigitMode mode, int precision) {
  const bool negative = value < 0;
  const bool zero = value == 0;
  const bool no_fraction = precision == 0;
  if (negative) value = -value;
  DigitGenerator gen(value, mode != DigitMode::kShortest, precision);
  int exp10 = gen.Exponent() - 1;
  bool round = true;

  Layout layout;
  switch (mode) {
    case DigitMode::kFixed:
      layout = exp10 < 0 ? Layout::kFixedFraction : Layout::kInteger;
      if (exp10 >= 0) ++precision;
      break;
    case DigitMode::kPrecision:
      // Small values stay in fraction form whatever their size.
      layout = exp10 < 0            ? Layout::kFraction
               : exp10 >= precision ? Layout::kExponent
                                    : Layout::kInteger;
      break;
    case DigitMode::kExponential:
      layout = Layout::kExponent;
      ++precision;
      break;
    case DigitMode::kShortest:
    default:
      if (exp10 < 0 && exp10 > -7) {
        if (exp10 < -precision) exp10 = -precision - 1;
        layout = Layout::kFraction;
      } else {
        layout = exp10 > 20 ? Layout::kExponent : Layout::kInteger;
      }
      break;
  }

  // Except in exponent form, text[0] is a spare zero that takes a carry out of the first digit;
  // the exponent form has none, and a carry out of its first digit is lost as in the player.
  std::string text = layout == Layout::kExponent ? "" : "0";
  auto put_digit = [&text](int d) { text.push_back(static_cast<char>('0' + d)); };
  auto next_or_zero = [&gen] { return gen.finished() ? 0 : gen.Next(); };
  bool wrote_point = false;
  const bool shortest = mode == DigitMode::kShortest;
  switch (layout) {
    case Layout::kInteger: {
      int digit = gen.Next();
      if (digit > 0) put_digit(digit);
      int digits = 0;
      for (; exp10 > 0; --exp10, ++digits) put_digit(next_or_zero());
      if (mode == DigitMode::kFixed) digits = 0;
      if (shortest) {
        if (!gen.finished()) {
          text.push_back('.');
          wrote_point = true;
          while (!gen.finished()) put_digit(gen.Next());
        }
      } else if (digits < precision - 1) {
        text.push_back('.');
        wrote_point = true;
        for (; digits < precision - 1; ++digits) put_digit(next_or_zero());
      }
      break;
    }
    case Layout::kFixedFraction: {
      text += "0.";
      wrote_point = true;
      // Leading zeros use up the digits; when they use all of them the value is not rounded.
      while (exp10 < -1 && precision > 0) {
        ++exp10;
        --precision;
        text.push_back('0');
      }
      if (precision == 0 && exp10 != 0) round = false;
      for (int digits = 0; digits < precision; ++digits) put_digit(next_or_zero());
      exp10 = 0;
      break;
    }
    case Layout::kFraction: {
      text += "0.";
      wrote_point = true;
      if (!zero) {
        for (int i = exp10; i < -1; ++i) text.push_back('0');
      }
      int i = 0;
      while (!gen.finished()) {
        put_digit(gen.Next());
        if (!shortest && ++i >= precision) break;
      }
      if (mode == DigitMode::kPrecision) {
        while (i++ < precision) put_digit(next_or_zero());
      }
      exp10 = 0;
      break;
    }
    case Layout::kExponent: {
      put_digit(next_or_zero());
      if ((shortest && !gen.finished()) || (!shortest && precision > 1)) {
        text.push_back('.');
        wrote_point = true;
        for (int i = 0; i < precision - 1; ++i) {
          if (gen.finished() && shortest) break;
          put_digit(next_or_zero());
        }
      }
      break;
    }
  }

  if (round && (gen.fast() || mode == DigitMode::kFixed || mode == DigitMode::kPrecision)) {
    if (gen.Next() > 4) {
      for (size_t i = text.size(); i-- > 0;) {
        if (text[i] == '.') continue;
        if (text[i] != '9') {
          ++text[i];
          break;
        }
        text[i] = '0';
      }
    }
    if (shortest && wrote_point) {
      while (text.back() == '0') text.pop_back();
      if (text.back() == '.') text.pop_back();
    }
  }

  if (exp10 != 0) {
    size_t first_nonzero = text.find_first_not_of('0');
    if (first_nonzero == std::string::npos) {
      // Every digit rounded away: the player appends a 1 and bumps the exponent.
      text.push_back('1');
      ++exp10;
    } else if (!zero) {
      size_t last_nonzero = text.find_last_not_of('0');
      if (first_nonzero == last_nonzero) {
        // A single significant digit followed by zeros, as in 10e+95: fold them into the power.
        exp10 += static_cast<int>(text.size() - first_nonzero - 1);
        text.resize(last_nonzero + 1);
      }
    }
    text.push_back('e');
    if (exp10 > 0) text.push_back('+');
    text += std::to_string(exp10);
  }

  size_t start = text.size() > 1 && text[0] == '0' && text[1] != '.' ? 1 : 0;
  std::string out;
  if (negative) out.push_back('-');
  out.append(text, start, std::string::npos);
  if (mode == DigitMode::kFixed && no_fraction && wrote_point) out.resize(out.find('.'));
  return out;
}

}  // namespace flashsaver::avm2
