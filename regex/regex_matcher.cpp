#include "regex/regex_matcher.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <new>

#include "base/exception.h"
#include "base/text.h"

namespace {

uint32_t ToCompileOptions(TRegExMatcherOptions options) {
  using O = TRegExMatcherOption;
  struct Mapping {
    O option;
    uint32_t bits;
  };
  static constexpr Mapping mappings[] = {
      {O::preCaseLess, PCRE2_CASELESS},
      {O::preMultiLine, PCRE2_MULTILINE},
      {O::preSingleLine, PCRE2_DOTALL},
      {O::preExtended, PCRE2_EXTENDED},
      {O::preAnchored, PCRE2_ANCHORED},
      {O::preUnGreedy, PCRE2_UNGREEDY},
      {O::preNoAutoCapture, PCRE2_NO_AUTO_CAPTURE},
  };
  uint32_t bits = 0;
  for (const Mapping& m : mappings) {
    if (options.Contains(m.option)) bits |= m.bits;
  }
  return bits;
}

uint32_t ToMatchOptions(TRegExMatcherExecFlags flags) {
  using F = TRegExMatcherExecFlag;
  uint32_t bits = 0;
  if (flags.Contains(F::efNotBol)) bits |= PCRE2_NOTBOL;
  if (flags.Contains(F::efNotEol)) bits |= PCRE2_NOTEOL;
  if (flags.Contains(F::efNotEmpty)) bits |= PCRE2_NOTEMPTY;
  return bits;
}

std::string ErrorMessage(int code) {
  PCRE2_UCHAR buffer[256];
  const int length = pcre2_get_error_message(code, buffer, sizeof buffer);
  return length < 0 ? "unknown error " + IntToStr(code) : reinterpret_cast<const char*>(buffer);
}

}  // namespace

TRegExMatcher::TRegExMatcher(TComponent* owner) : TComponent(owner) {
  // The tables follow the character classes of the locale in force now.
  tables_ = pcre2_maketables(nullptr);
  compile_context_ = pcre2_compile_context_create(nullptr);
  match_data_ = pcre2_match_data_create(MaxGroupPairs, nullptr);
  if (!tables_ || !compile_context_ || !match_data_) {
    pcre2_match_data_free(match_data_);
    pcre2_compile_context_free(compile_context_);
    pcre2_maketables_free(nullptr, tables_);
    throw std::bad_alloc();
  }
  pcre2_set_newline(compile_context_, PCRE2_NEWLINE_ANY);
  pcre2_set_character_tables(compile_context_, tables_);
}

TRegExMatcher::~TRegExMatcher() {
  DiscardCompiled();
  pcre2_match_data_free(match_data_);
  pcre2_compile_context_free(compile_context_);
  // The compiled pattern referred to the tables, so they go last.
  pcre2_maketables_free(nullptr, tables_);
}

void TRegExMatcher::SetOptions(TRegExMatcherOptions options) {
  if (options == options_) return;
  options_ = options;
  compile_options_ = ToCompileOptions(options);
  DiscardCompiled();
}

void TRegExMatcher::SetRegEx(const std::string& regex) {
  if (regex == regex_) return;
  regex_ = regex;
  DiscardCompiled();
}

void TRegExMatcher::SetSubjectText(std::string subject) {
  subject_ = std::move(subject);
  search_from_ = 1;
  search_end_ = static_cast<int64_t>(subject_.size());
  offset_count_ = 0;
}

void TRegExMatcher::SetUseJIT(bool useJit) {
  if (useJit == use_jit_) return;
  use_jit_ = useJit;
  DiscardCompiled();
}

void TRegExMatcher::DiscardCompiled() {
  compiled_ = false;
  jit_active_ = false;
  pcre2_code_free(code_);
  code_ = nullptr;
  offset_count_ = 0;
}

void TRegExMatcher::Compile() {
  if (regex_.empty())
    throw Exception("TRegExMatcher.Compile() - Please specify a regular expression in RegEx first");
  DiscardCompiled();
  int errorCode = 0;
  PCRE2_SIZE errorOffset = 0;
  // The pattern's own length is passed, so a zero byte in it is matched rather than ending it.
  code_ = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(regex_.data()), regex_.size(),
                        compile_options_, &errorCode, &errorOffset, compile_context_);
  if (!code_) {
    throw Exception(Format("TRegExMatcher.Compile() - Error in regex at offset %d: %s",
                           static_cast<int>(errorOffset), ErrorMessage(errorCode).c_str()));
  }
  // Without machine-code support the interpreter runs the same pattern.
  jit_active_ = use_jit_ && pcre2_jit_compile(code_, PCRE2_JIT_COMPLETE) == 0;
  compiled_ = true;
}

bool TRegExMatcher::MatchNext() {
  if (!compiled_) Compile();
  const uint32_t matchOptions = ToMatchOptions(ExecFlags);
  if (search_from_ - 1 > search_end_) {
    offset_count_ = PCRE2_ERROR_NOMATCH;
  } else {
    const auto subject = reinterpret_cast<PCRE2_SPTR>(subject_.data());
    const auto length = static_cast<PCRE2_SIZE>(search_end_);
    const auto start = static_cast<PCRE2_SIZE>(search_from_ - 1);
    offset_count_ = pcre2_match(code_, subject, length, start, matchOptions, match_data_, nullptr);
    // Machine code runs on a small fixed stack; the interpreter gives the same answer
    // within its own, larger limits.
    if (offset_count_ == PCRE2_ERROR_JIT_STACKLIMIT) {
      offset_count_ = pcre2_match(code_, subject, length, start, matchOptions | PCRE2_NO_JIT,
                                  match_data_, nullptr);
    }
  }
  if (offset_count_ < PCRE2_ERROR_NOMATCH) {
    // A search that gave up (a match or memory limit) must not pass for the end of the matches.
    const int code = offset_count_;
    offset_count_ = PCRE2_ERROR_NOMATCH;
    throw Exception("TRegExMatcher.MatchNext() - Error in match: " + ErrorMessage(code));
  }
  if (offset_count_ <= 0) return false;

  const PCRE2_SIZE* vector = pcre2_get_ovector_pointer(match_data_);
  for (int i = 0; i < 2 * offset_count_; ++i) {
    // Unset groups become 0 like every position becomes 1-based.
    match_offsets_[i] = vector[i] == PCRE2_UNSET ? 0 : static_cast<int64_t>(vector[i]) + 1;
  }
  search_from_ = match_offsets_[1];
  // An empty match would be found again at the same place.
  if (match_offsets_[0] == match_offsets_[1]) search_from_ = match_offsets_[1] + 1;
  if (OnMatch) OnMatch(this);
  return true;
}

void TRegExMatcher::RequireMatch() const {
  if (!HasMatch()) throw EAssertionFailed("REQUIRE: There must be a successful match first");
}

int TRegExMatcher::GroupCount() const {
  RequireMatch();
  return offset_count_ - 1;
}

std::string TRegExMatcher::GroupText(int index) const {
  RequireMatch();
  if (index < 0 || index > GroupCount()) return std::string();
  const int64_t first = match_offsets_[2 * index];
  const int64_t end = match_offsets_[2 * index + 1];
  if (first == 0 || end <= first) return std::string();
  return subject_.substr(static_cast<size_t>(first - 1), static_cast<size_t>(end - first));
}
