#include "message_format.h"

#include "bounded_text.h"

namespace stackboot {
namespace {

class Output {
 public:
  Output(char16_t* out, std::size_t capacity) : out_(out), capacity_(capacity) {}

  void Put(char16_t unit) {
    if (length_ + 1 < capacity_) out_[length_++] = unit;
  }
  void Put(std::u16string_view text) {
    for (char16_t unit : text) Put(unit);
  }
  void PutInteger(std::int32_t value) {
    // Widened first so that the most negative value has a magnitude.
    std::int64_t wide = value;
    if (wide < 0) {
      Put(u'-');
      wide = -wide;
    }
    char16_t digits[12];
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

std::size_t FormatMessageText(char16_t* out, std::size_t capacity, std::u16string_view format,
                              std::span<const FormatArg> args) {
  Output output(out, capacity);
  std::size_t nextArg = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    const char16_t unit = format[i];
    const char16_t spec = i + 1 < format.size() ? format[i + 1] : u'\0';
    if (unit != u'%' || (spec != u's' && spec != u'd' && spec != u'%')) {
      output.Put(unit);
      continue;
    }
    ++i;
    if (spec == u'%') {
      output.Put(u'%');
      continue;
    }
    if (nextArg >= args.size()) continue;
    const FormatArg& arg = args[nextArg++];
    if (spec == u's' && arg.kind == FormatArg::Kind::kText) output.Put(ViewOf(arg.text));
    if (spec == u'd' && arg.kind == FormatArg::Kind::kInteger) output.PutInteger(arg.integer);
  }
  return output.Finish();
}

}  // namespace stackboot
