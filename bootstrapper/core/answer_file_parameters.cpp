#include "bounded_text.h"
#include "parameter_text.h"
#include "setup_parameters.h"

namespace stackboot {
namespace {

constexpr char16_t kCommonInfo[] = u"CommonInfo";
constexpr char16_t kMsParam[] = u"MSParam";
constexpr std::size_t kFieldCapacity = 260;
constexpr std::size_t kKeyListCapacity = 1024;

constexpr std::u16string_view kClosing = u"\" ";
constexpr std::u16string_view kLanguageSwitch = u" /l";
// Kept free while the properties are written: the closing of the /v part and the longest
// language switch.
constexpr std::size_t kClosingReserve =
    kClosing.size() + kLanguageSwitch.size() + kMaxLanguageLength;

using Field = BoundedText<kFieldCapacity>;
constexpr std::u16string_view kQuotedValueOpen = u"=\\\"";
constexpr std::u16string_view kQuotedValueClose = u" \\\" ";
// The longest property: a name and a value of up to 259 units each, between escaped quotes.
using Property =
    BoundedText<2 * (kFieldCapacity - 1) + kQuotedValueOpen.size() + kQuotedValueClose.size() + 1>;

// A path that exists relative to the current folder, made whole: room for a current folder and a
// relative path of up to MAX_PATH units each.
using FullPath = BoundedText<2 * kMaxPath>;

// The answer file, read by its full path: given a bare or relative name, the profile reader would
// look in the Windows folder instead of where the file was found. A file whose full path cannot
// be had reads as one without any key.
class AnswerFile {
 public:
  AnswerFile(BootSystem& system, const char16_t* found) : system_(system) {
    path_.Clear();
    if (system.GetFullPath(found, path_.Data(), FullPath::kCapacity)) {
      path_.SyncAfterExternalWrite();
    } else {
      path_.Clear();
    }
  }

  void Read(const char16_t* section, const char16_t* key, const char16_t* defaultText,
            Field& out) const {
    out.Clear();
    if (path_.Empty()) {
      out.Append(ViewOf(defaultText));
      return;
    }
    system_.ReadProfileValue(section, key, defaultText, out.Data(), Field::kCapacity, path_.CStr());
    out.SyncAfterExternalWrite();
  }

  std::size_t ReadKeyNames(char16_t* out) const {
    if (path_.Empty()) return 0;
    return system_.ReadProfileKeyNames(kMsParam, out, kKeyListCapacity, path_.CStr());
  }

 private:
  BootSystem& system_;
  FullPath path_;
};

bool IsQuotedProperty(std::u16string_view name) {
  return EqualsIgnoringAsciiCase(name, u"installdir") ||
         EqualsIgnoringAsciiCase(name, u"vtrlaunchdir");
}

// One property as it goes into the /v part; false when the key is left out.
bool FormatProperty(std::u16string_view name, std::u16string_view value, Property& property) {
  property.Clear();
  if (EqualsIgnoringAsciiCase(name, u"reinstall") && EqualsIgnoringAsciiCase(value, u"all")) {
    return false;
  }
  property.Append(name);
  if (IsQuotedProperty(name)) {
    // The blank keeps a trailing backslash of the value away from the escaped quote.
    property.Append(kQuotedValueOpen);
    property.Append(value);
    property.Append(kQuotedValueClose);
  } else {
    property.Append(u"=");
    property.Append(value);
    property.Append(u" ");
  }
  return true;
}

void AppendProperties(const AnswerFile& file, ParameterText& text) {
  char16_t keyList[kKeyListCapacity] = {};
  if (file.ReadKeyNames(keyList) == 0) return;

  Field name;
  Field value;
  Property property;
  bool full = false;
  for (std::size_t i = 0; i < kKeyListCapacity && keyList[0] != u'\0'; ++i) {
    if (keyList[i] != u'\0') {
      // Names past 259 units are looked up under their first 259.
      name.Append(keyList[i]);
      continue;
    }
    file.Read(kMsParam, name.CStr(), u"", value);
    if (!full && !value.Empty() && FormatProperty(name.View(), value.View(), property)) {
      full = !text.Append(property.View(), kClosingReserve);
    }
    name.Clear();
    if (i + 1 >= kKeyListCapacity || keyList[i + 1] == u'\0') break;
  }
}

}  // namespace

void BuildParamsFromIni(RunContext& run, const char16_t* lpCmdLine, char16_t* params) {
  const AnswerFile file(run.system, lpCmdLine);
  Field scratch;

  file.Read(kCommonInfo, u"SilenceInstall", u"0", scratch);
  const bool silent = scratch.View() == u"1";

  file.Read(kCommonInfo, u"LANG", kDefaultLanguage, scratch);
  BoundedText<kMaxLanguageLength + 1> language;
  // A longer value is no language identifier; cutting it would make up another one.
  language.Assign(scratch.Length() <= kMaxLanguageLength ? scratch.View() : kDefaultLanguage);

  file.Read(kCommonInfo, u"LOG", u"", scratch);
  const Field logPath = scratch;

  ParameterText text(params);
  text.Append(silent ? u"/s /v\"/qn " : u"/v\"");
  if (!logPath.Empty()) {
    constexpr std::u16string_view kLogOpen = u"/l* \\\"";
    constexpr std::u16string_view kLogClose = u"\\\" ";
    BoundedText<kLogOpen.size() + (kFieldCapacity - 1) + kLogClose.size() + 1> logOption;
    logOption.Append(kLogOpen);
    logOption.Append(logPath.View());
    logOption.Append(kLogClose);
    text.Append(logOption.View(), kClosingReserve);
  }
  AppendProperties(file, text);
  text.Append(kClosing);
  if (!language.Empty()) {
    text.Append(kLanguageSwitch);
    text.Append(language.View());
  }
}

}  // namespace stackboot
