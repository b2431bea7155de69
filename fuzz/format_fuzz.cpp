// Fuzzes FormatAppend with arbitrary format strings. Every argument is valid
// for what its directive takes: integers and doubles come from the input,
// text and byte pointers address real buffers long enough for any precision
// the format can ask for, and string arguments are real GStrings (the target
// itself among them). Under the sanitizers nothing may be read or written
// outside those buffers.
//
// Input: one byte of string options, then the format (one unit per byte; 0x01
// followed by two bytes gives any unit), up to a 0x00 byte; the rest feeds the
// arguments.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "text/format.h"
#include "text/gstring.h"

namespace {

// Precisions in the format have at most five digits (longer runs are refused
// below) and '*' values are held within the same bound, so every buffer a
// precision can walk is this long plus a terminator.
constexpr int kMaxField = 99999;
constexpr int kPadded = kMaxField + 1;

struct Buffers {
  std::vector<char16_t> wide = std::vector<char16_t>(kPadded + 64, u'w');
  std::vector<char> narrow = std::vector<char>(kPadded + 64, 'n');
  std::vector<unsigned char> bytes = std::vector<unsigned char>(kPadded + 64, 0xB5);
  std::vector<unsigned char> record = std::vector<unsigned char>(4 + 2 * (kPadded + 64), 'r');
  unsigned char small[16] = {};
  GString narrowString;
  GString wideString;
  int count = 0;

  Buffers() {
    wide.back() = 0;
    narrow.back() = 0;
    record[record.size() - 1] = 0;
    record[record.size() - 2] = 0;
  }
};

class CFuzzArgs : public CFormatArgs {
 public:
  CFuzzArgs(FuzzedDataProvider& data, Buffers& buffers, GString& target)
      : data(data), buffers(buffers), target(target) {}

  int Int() override { return data.ConsumeIntegral<int>(); }
  int FieldSize() override { return data.ConsumeIntegralInRange<int>(-kMaxField, kMaxField); }
  int64_t Int64() override { return data.ConsumeIntegral<int64_t>(); }
  double Double() override {
    const uint64_t bits = data.ConsumeIntegral<uint64_t>();
    double x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
  }
  void* Pointer(FormatPointer kind) override {
    if (data.ConsumeIntegralInRange<int>(0, 15) == 0) {
      return nullptr;
    }
    switch (kind) {
      case FormatPointer::kPlain:
        return reinterpret_cast<void*>(data.ConsumeIntegral<uintptr_t>());
      case FormatPointer::kWideText:
        return buffers.wide.data();
      case FormatPointer::kNarrowText:
        return buffers.narrow.data();
      case FormatPointer::kString:
        switch (data.ConsumeIntegralInRange<int>(0, 2)) {
          case 0:
            return &buffers.narrowString;
          case 1:
            return &buffers.wideString;
          default:
            return &target;
        }
      case FormatPointer::kRecord:
        return buffers.record.data();
      case FormatPointer::kBytes:
        return buffers.bytes.data();
      case FormatPointer::kIpv4:
      case FormatPointer::kGuid:
        return buffers.small;
      case FormatPointer::kCount:
        return &buffers.count;
    }
    return nullptr;
  }

 private:
  FuzzedDataProvider& data;
  Buffers& buffers;
  GString& target;
};

// Fills the start of the buffers with input bytes; the padding stays.
void Seed(FuzzedDataProvider& data, Buffers& b) {
  for (int i = 0; i < 32; ++i) {
    b.wide[size_t(i)] = data.ConsumeIntegral<char16_t>();
    b.narrow[size_t(i)] = data.ConsumeIntegral<char>();
    b.bytes[size_t(i)] = data.ConsumeIntegral<unsigned char>();
    b.record[size_t(i)] = data.ConsumeIntegral<unsigned char>();
  }
  for (unsigned char& c : b.small) {
    c = data.ConsumeIntegral<unsigned char>();
  }
  b.narrowString.AssignNarrow(b.narrow.data(), -1, 0);
  b.wideString.AssignWide(b.wide.data(), -1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  static Buffers* buffers = new Buffers();
  if (size == 0) {
    return 0;
  }
  const uint8_t options = input[0];
  std::u16string format;
  size_t i = 1;
  int digitRun = 0;
  for (; i < size && input[i] != 0; ++i) {
    char16_t unit = input[i];
    if (unit == 1 && i + 2 < size) {
      unit = char16_t(input[i + 1] | input[i + 2] << 8);
      i += 2;
    }
    digitRun = (unit >= u'0' && unit <= u'9') ? digitRun + 1 : 0;
    if (digitRun > 5) {
      return -1;  // a precision beyond any buffer: not a valid call
    }
    format += unit;
  }
  FuzzedDataProvider data(input + i, size - i);
  Seed(data, *buffers);
  GString target;
  target.AssignWide(u"", 0);
  target.SetFormatOptions(options);
  if (options & 1) {
    target.AppendWide(u"prefix", -1);
  }
  CFuzzArgs args(data, *buffers, target);
  const int ok = target.FormatAppendArgs(format.c_str(), args);
  if (ok && target.WideText(0)[target.Length()] != 0) {
    __builtin_trap();  // a successful call leaves its text terminated
  }
  return 0;
}
