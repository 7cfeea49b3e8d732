// A pattern with its subject: compiles the pattern on first use and walks the subject from
// left to right, one non-overlapping match at a time.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "base/component.h"
#include "base/set.h"

struct pcre2_real_code_8;
struct pcre2_real_compile_context_8;
struct pcre2_real_match_data_8;

// Compile options.
enum class TRegExMatcherOption {
  preCaseLess,
  preMultiLine,
  preSingleLine,  // "." matches line ends too
  preExtended,
  preAnchored,
  preUnGreedy,
  preNoAutoCapture,
};
using TRegExMatcherOptions = TSet<TRegExMatcherOption>;

// Match-time flags.
enum class TRegExMatcherExecFlag { efNotBol, efNotEol, efNotEmpty };
using TRegExMatcherExecFlags = TSet<TRegExMatcherExecFlag>;

using TNotifyEvent = std::function<void(TObject* Sender)>;
using TRegExMatcherReplaceEvent = std::function<void(TObject* Sender, std::string& ReplaceText)>;

class TRegExMatcher : public TComponent {
 public:
  // Group 0 plus 99 groups; a match that sets a higher group does not count as a match.
  static constexpr int MaxGroupPairs = 100;
  // One more entry than the pairs use, as the positions have always been laid out.
  static constexpr int MatchOffsetsSize = 3 * MaxGroupPairs + 1;

  explicit TRegExMatcher(TComponent* owner = nullptr);
  ~TRegExMatcher() override;

  TRegExMatcherOptions Options() const { return options_; }
  // A different value discards the compiled pattern.
  void SetOptions(TRegExMatcherOptions options);
  const std::string& RegEx() const { return regex_; }
  // A different text discards the compiled pattern; the same text keeps it.
  void SetRegEx(const std::string& regex);
  // Kept for the caller; nothing here replaces.
  std::string Replacement;
  // Fired after every successful match, with the matcher as sender.
  TNotifyEvent OnMatch;
  // Kept for the caller; nothing here fires it.
  TRegExMatcherReplaceEvent OnReplace;
  TRegExMatcherExecFlags ExecFlags{TRegExMatcherExecFlag::efNotEmpty};

  const std::string& SubjectText() const { return subject_; }
  // Restarts the search at the first byte and forgets the last match; the compiled pattern
  // stays. Pass a large subject with std::move to hand it over without a copy.
  void SetSubjectText(std::string subject);

  // Whether a compiled pattern should also be compiled to machine code (when the library can).
  // Results are the same either way; switching discards the compiled pattern.
  bool UseJIT() const { return use_jit_; }
  void SetUseJIT(bool useJit);
  // Whether the current compiled pattern runs as machine code.
  bool JITActive() const { return jit_active_; }

  // Raises Exception for an empty or invalid pattern; the matcher then stays not compiled.
  void Compile();
  // Searches for the next match from SearchFrom(); compiles first when needed.
  bool MatchNext();
  bool HasMatch() const { return offset_count_ > 0; }
  // The number of the highest group that took part in the last match. Raises
  // EAssertionFailed without a successful last match.
  int GroupCount() const;
  // The text of group `index` of the last match (0 = the whole match); empty for a group
  // above GroupCount() or one that did not take part. Raises EAssertionFailed without a
  // successful last match.
  std::string GroupText(int index) const;

  bool Compiled() const { return compiled_; }
  // The library's compile options for Options(); the newline convention ("any line end")
  // is set apart from them.
  uint32_t CompileOptions() const { return compile_options_; }
  // 1-based position where the next search starts.
  int64_t SearchFrom() const { return search_from_; }
  // The number of bytes the search covers.
  int64_t SearchEnd() const { return search_end_; }
  // Greater than 0: a match with that many leading groups (group 0 included); 0: a match
  // with more groups than fit; below 0: no match.
  int OffsetCount() const { return offset_count_; }
  // After a successful match, entry 2k is the 1-based position of the first character of
  // group k and entry 2k+1 the position just after it; 0 for a group that did not take part.
  const std::array<int64_t, MatchOffsetsSize>& MatchOffsets() const { return match_offsets_; }

 private:
  void DiscardCompiled();
  void RequireMatch() const;

  TRegExMatcherOptions options_;
  std::string regex_;
  bool compiled_ = false;
  std::string subject_;
  int64_t search_from_ = 1;
  int64_t search_end_ = 0;
  std::array<int64_t, MatchOffsetsSize> match_offsets_{};
  int offset_count_ = 0;
  uint32_t compile_options_ = 0;
  bool use_jit_ = true;
  bool jit_active_ = false;

  const uint8_t* tables_ = nullptr;
  pcre2_real_compile_context_8* compile_context_ = nullptr;
  pcre2_real_match_data_8* match_data_ = nullptr;
  pcre2_real_code_8* code_ = nullptr;
};
