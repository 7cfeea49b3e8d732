// The first part of the page reader: a scanner that takes a page's bytes as they arrive, in
// pieces of any size, and reports what may name a movie to a sink: the start tags of the
// elements it is asked about (and of custom elements) with their attributes, quoted text
// around ".swf" in markup, the literals of scripts, and the script calls it is asked about with
// their arguments. It knows markup, comments (IE's conditional ones looked into) and scripts,
// and nothing of movies. Memory stays bounded by the longest construct looked at whole
// (kMaxTag); where the pieces are cut changes nothing.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class TPageCharset;

struct TMarkupAttribute {
  std::string_view Name;
  std::string_view Value;  // as written: character references are not decoded
};

// What the scanner is asked to report, besides the quoted text and the literals it always
// reports.
struct TMarkupVocabulary {
  // The elements whose start tags are reported (letter case does not count). The scanner
  // takes "script" apart in any case, to read what follows as script.
  std::vector<std::string> Elements;
  // The one element whose end tags are reported.
  std::string EndTag;
  struct TCall {
    std::string Name;  // an identifier, as written
    // Only the first argument is wanted: what follows it is not read.
    bool FirstArgumentOnly = false;
  };
  std::vector<TCall> Calls;
};

class TMarkupSink {
 public:
  virtual ~TMarkupSink() = default;
  // The page starts with a UTF-8 byte-order mark.
  virtual void OnByteOrderMark() = 0;
  // A start tag of the vocabulary's elements, of "script" or of a custom element (a "-" in
  // its name).
  virtual void OnStartTag(std::string_view name, std::span<const TMarkupAttribute> attributes,
                          bool selfClosing) = 0;
  // An end tag of the vocabulary's EndTag.
  virtual void OnEndTag() = 0;
  // Quoted text of markup around a ".swf", without its quotes, as written.
  virtual void OnQuotedText(std::string_view text) = 0;
  // A string literal of a script, its escapes read (at most kMaxString bytes; longer ones are
  // not reported).
  virtual void OnScriptLiteral(std::string_view text) = 0;
  // A call of the vocabulary (`call` its index in Calls): the text of each literal argument,
  // escapes read, and nothing for the others.
  virtual void OnScriptCall(size_t call, std::span<const std::optional<std::string>> arguments) = 0;
};

class TMarkupScanner {
 public:
  // A tag, a conditional comment's opening or a script call longer than this is not looked at
  // whole: its "<" counts as text.
  static constexpr size_t kMaxTag = size_t{64} << 10;
  // Script literals longer than this are not addresses and are not kept.
  static constexpr size_t kMaxString = size_t{16} << 10;

  // `charset`: the double-byte characters of the page's charset are read whole (their second
  // byte may look like a quote or "\"). All three must outlive the scanner.
  TMarkupScanner(TMarkupSink& sink, const TMarkupVocabulary& vocabulary,
                 const TPageCharset& charset);
  TMarkupScanner(const TMarkupScanner&) = delete;
  TMarkupScanner& operator=(const TMarkupScanner&) = delete;

  void Feed(std::string_view piece);
  // As Feed, without copying the new bytes: they are `piece` from `room` on, and the `room`
  // bytes in front of them are the scanner's to write over (what it still needs of the bytes
  // before goes there). The scanner keeps the piece and leaves in `piece` a buffer of its own,
  // whose memory (and bytes, of no use) can take a later piece.
  void Feed(std::string& piece, size_t room);
  // Reads what is left: no more bytes come.
  void Finish();

 private:
  enum class TMode {
    mdMarkup,   // tags and text
    mdComment,  // inside <!-- -->, up to "-->"
    mdScript,   // the content of a <script> element, up to "</script"
  };
  enum class TScriptState {
    ssCode,
    ssLineComment,   // "//" or "<!--" up to the end of the line
    ssBlockComment,  // "/*" up to "*/"
    ssString,        // a quoted literal; its text collects in string_
  };
  enum class TStep { stMore, stDone };

  // Looks at the page's first bytes once enough of them have come (`final`: all have).
  void Begin(bool final);
  // Goes on as far as the bytes at hand decide; `final`: no more will come.
  void Scan(bool final);
  bool ScanMarkup(bool final);
  bool ScanComment(bool final);
  bool ScanScript(bool final);
  // Reports the quoted address around the ".swf" at `dot`, if there is one, and sets `after`
  // past it (0 when there is none); stMore when the bytes at hand do not decide.
  TStep TakeQuoted(size_t dot, bool final, size_t& after);
  TStep AtLessThan(size_t lt, bool final);
  TStep AtStartTag(size_t lt, bool final);
  // Skips to just after `close` (searched from `from`), or gives up on the "<" at `lt`.
  TStep SkipTo(size_t lt, size_t from, std::string_view close, bool final);
  // A script call whose name spans [from, to): stMore when the bytes at hand do not decide.
  TStep TakeCall(size_t from, size_t to, bool final);
  // The call of the vocabulary named `name`, or -1.
  int CallOf(std::string_view name) const;
  // Whether the start tag of `name` is reported (custom elements aside).
  bool IsTakenElement(std::string_view name) const;

  // The positions follow the bytes still needed when they move to start at buffer_[to].
  void Rebase(size_t to);
  // Lets go of what is no longer needed once the bytes at hand are read.
  void LetGo();

  TMarkupSink& sink_;
  const TPageCharset& charset_;
  std::vector<std::string> elements_;
  char end_initial_;  // of the vocabulary's end tag, in lower case
  std::string end_tag_;
  std::vector<TMarkupVocabulary::TCall> calls_;
  // Per byte after a "<": part of a name, an end of one, and the first letter of a reported
  // element of at most four bytes.
  unsigned char tag_bytes_[256] = {};

  std::string buffer_;
  // Bytes of buffer_ before this one are no longer needed.
  size_t start_ = 0;
  size_t pos_ = 0;
  // Quoted text before this offset has been reported already.
  size_t consumed_ = 0;
  bool started_ = false;  // the page's first bytes were looked at
  TMode mode_ = TMode::mdMarkup;
  TScriptState script_ = TScriptState::ssCode;
  char quote_ = 0;
  std::string string_;
  bool string_overflow_ = false;
  std::vector<TMarkupAttribute> attributes_;
  std::vector<std::optional<std::string>> arguments_;
};
