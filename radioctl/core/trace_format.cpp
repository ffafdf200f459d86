#include "trace_format.h"

namespace radiogate {
namespace {

class Output {
 public:
  Output(char16_t* out, std::size_t capacity) : out_(out), capacity_(capacity) {}

  void Put(char16_t unit) {
    if (length_ + 1 < capacity_) out_[length_++] = unit;
  }
  void PutText(const char16_t* text) {
    if (text == nullptr) return;
    while (*text != u'\0' && length_ + 1 < capacity_) Put(*text++);
  }
  void PutInteger(std::int32_t value) {
    // Widened first so that the most negative value has a magnitude.
    std::int64_t wide = value;
    if (wide < 0) {
      Put(u'-');
      wide = -wide;
    }
    char16_t digits[10];
    std::size_t count = 0;
    do {
      digits[count++] = static_cast<char16_t>(u'0' + wide % 10);
      wide /= 10;
    } while (wide != 0);
    while (count > 0) Put(digits[--count]);
  }
  std::size_t Finish() {
    if (capacity_ > 0) out_[length_] = u'\0';
    return length_;
  }

 private:
  char16_t* out_;
  std::size_t capacity_;
  std::size_t length_ = 0;
};

}  // namespace

std::size_t FormatTraceText(char16_t* out, std::size_t capacity, std::u16string_view format,
                            std::span<const TraceArg> args) {
  Output output(out, capacity);
  std::size_t nextArg = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    const char16_t unit = format[i];
    const char16_t placeholder = i + 1 < format.size() ? format[i + 1] : u'\0';
    if (unit != u'%' || (placeholder != u's' && placeholder != u'd' && placeholder != u'%')) {
      output.Put(unit);
      continue;
    }
    ++i;
    if (placeholder == u'%') {
      output.Put(u'%');
      continue;
    }
    if (nextArg >= args.size()) continue;
    const TraceArg& arg = args[nextArg++];
    if (placeholder == u's' && arg.kind == TraceArg::Kind::kText) output.PutText(arg.text);
    if (placeholder == u'd' && arg.kind == TraceArg::Kind::kInteger) output.PutInteger(arg.integer);
  }
  return output.Finish();
}

void TraceFormatArgs(RadioSystem& system, std::u16string_view format,
                     std::span<const TraceArg> args) {
  char16_t line[kTraceCapacity] = {};
  FormatTraceText(line, kTraceCapacity, format, args);
  system.OutputDebugText(line);
}

}  // namespace radiogate
