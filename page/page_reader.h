// Finding the Flash movies a page refers to, the ways pages of the Flash years wrote them:
// <embed src>, <object data>, <param name="movie"/"src">, objects and embeds of a Flash type or
// with the Flash class id, the movie of the usual script calls (swfobject.embedSWF, new
// SWFObject, new FlashObject, AC_FL_RunContent, AC_RunFlContent), and quoted addresses ending
// in ".swf" anywhere in the text. The page is read as it arrives, in pieces of any size, with
// memory bounded by the longest construct looked at whole (kMaxTag); where the pieces are cut
// changes nothing. Addresses come out as a browser requests them: the page's bytes read in its
// charset, the path percent-encoded as UTF-8, the query in the page's own encoding.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/distinct_strings.h"
#include "base/string_block.h"
#include "page/web_archive_capture.h"

class TPageReader {
 public:
  // A tag, a conditional comment's opening or a script call longer than this is not looked at
  // whole: its "<" counts as text.
  static constexpr size_t kMaxTag = size_t{64} << 10;
  // The longest address looked for.
  static constexpr size_t kMaxAddress = 4096;
  // The frames of a page whose addresses are kept (<frame src>, <iframe src>).
  static constexpr size_t kMaxFrames = 20;

  // `pageAddress`: the address the page came from, after redirections; what the page names is
  // made absolute against it (and against the page's <base href>).
  explicit TPageReader(std::string pageAddress);
  // A sort key for each address, worked out as the address is listed (on the thread that feeds
  // the reader, while the page still arrives) rather than all at once at the end.
  // It writes the key of its first argument into its second, an empty string whose memory is
  // used again from key to key.
  using TKeyOf = std::function<void(std::string_view address, std::string& key)>;
  void SetKeyOf(TKeyOf keyOf) { key_of_ = std::move(keyOf); }
  // The keys of the addresses listed so far, in their order (with a key function).
  const TStringBlock& Keys() const { return keys_; }
  // How often the addresses were listed again from scratch (a late <base href>, a final address
  // other than the first), Finish included: the keys are then others.
  size_t Relistings() const { return relistings_; }

  // The charset the response's "Content-Type" names (a canonical name, see charset.h): it
  // holds over what the page itself declares. Empty: none.
  void SetHttpCharset(std::string charset);

  void Feed(std::string_view piece);
  // As Feed, without copying the new bytes: they are `piece` from `room` on, and the `room`
  // bytes in front of them are the reader's to write over (what it still needs of the bytes
  // before goes there). The reader keeps the piece and leaves in `piece` a buffer of its own,
  // whose memory (and bytes, of no use) can take a later piece.
  void Feed(std::string& piece, size_t room);
  // Reads what is left and returns every movie address, absolute, without its fragment, in the
  // order first found, each once. `finalAddress`, when not empty, replaces the page's address
  // (the address after redirections is known only once the page has arrived). The reader is
  // then empty again, for the page address it was made with.
  std::vector<std::string> Finish(const std::string& finalAddress = std::string());
  // As Finish, and `keys` the keys of the addresses, in the same order (empty without SetKeyOf).
  std::vector<std::string> Finish(const std::string& finalAddress, TStringBlock& keys);
  // As Finish, the addresses in one block rather than a string each.
  TStringBlock FinishInBlock(const std::string& finalAddress, TStringBlock& keys);
  // The pages the last page finished showed in frames (<frame src>, <iframe src> that are not
  // movies themselves), absolute and encoded as its movies, each once, at most kMaxFrames.
  const std::vector<std::string>& Frames() const { return frames_; }

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
  // What makes a candidate a movie.
  enum class TKind {
    rkSwfAddress,  // only an address ending in ".swf" (before its query, or as a whole)
    rkFlash,       // any address: the element says it is Flash
    rkAddSwf,      // any address, ".swf" added when missing, as the script call does
  };
  enum class TStep { stMore, stDone };
  struct TAttribute {
    std::string_view Name;
    std::string_view Value;
    bool Used = false;
  };

  // Looks at the page's first bytes once enough of them have come (`final`: all have).
  void Begin(bool final);
  // Goes on as far as the bytes at hand decide; `final`: no more will come.
  void Scan(bool final);
  bool ScanMarkup(bool final);
  bool ScanComment(bool final);
  bool ScanScript(bool final);
  // Lists the quoted address around the ".swf" at `dot`, if there is one, and sets `after` past
  // it (0 when there is none); stMore when the bytes at hand do not decide.
  TStep TakeQuoted(size_t dot, bool final, size_t& after);
  TStep AtLessThan(size_t lt, bool final);
  TStep AtStartTag(size_t lt, bool final);
  // Skips to just after `close` (searched from `from`), or gives up on the "<" at `lt`.
  TStep SkipTo(size_t lt, size_t from, std::string_view close, bool final);
  void TakeTag(std::string_view name, bool selfClosing);
  // A script call whose name spans [from, to): stMore when the bytes at hand do not decide.
  TStep TakeCall(size_t from, size_t to, bool final);
  void TakeScriptString();
  // Quoted addresses inside a complete text (an attribute value, a script literal).
  void ScanSpan(std::string_view text);
  // Where a candidate stands: a value with blanks counts where addresses go, elsewhere only
  // when it has a "/" (a path, not a sentence).
  enum class TPlace {
    plText,       // quoted text, a script literal
    plAttribute,  // the value of `attribute`: an address if it is src, data, href, value, movie
    plAddress,    // a movie parameter, a call's argument
  };
  // Records `value` when it is a movie address of `kind`; `markup`: it comes from markup, so
  // character references and escaped slashes are decoded first.
  bool Candidate(std::string_view value, TKind kind, bool markup, TPlace place,
                 std::string_view attribute = std::string_view());
  // Keeps a reference not met before, and lists its address unless listed already.
  // `schemeLength`: of the scheme the reference starts with, or kNoScheme; `toEncode`: it has
  // bytes that go percent-encoded, or capitals in its scheme or host.
  void AddReference(std::string_view reference, size_t schemeLength, bool toEncode);
  // A <frame> or <iframe> that shows a page.
  void TakeFrame(std::string_view source);
  // A <meta> that declares the page's charset.
  void TakeMeta();
  // The charset of the page's address bytes now decides; lists the addresses again when it
  // changed what they were.
  void SetCharset(std::string charset);
  // The encoding `address` (resolved, not yet encoded) is read in.
  std::string_view CharsetOf(std::string_view address) const;
  static constexpr size_t kNoScheme = static_cast<size_t>(-1);
  // Works out the key of the address listed last, with key_of_.
  void KeyLast();
  // Resolves a new reference and lists its address unless listed already.
  void Take(std::string_view reference);
  // Lists the addresses of every reference found so far again, from scratch.
  void ResolveAll();
  // Works out resolution_ for the page's address and <base href>.
  void Prepare();
  // Whether `text` names a capture of the page's archive; `found` is that capture.
  bool AsCapture(const std::string& text, TWebArchiveCapture& found) const;
  // Absolute and encoded; empty when it cannot be made absolute.
  std::string Resolve(std::string_view reference);

  // The positions follow the bytes still needed when they move to start at buffer_[to].
  void Rebase(size_t to);
  // Lets go of what is no longer needed once the bytes at hand are read.
  void LetGo();

  std::string page_;
  std::string buffer_;
  // Bytes of buffer_ before this one are no longer needed.
  size_t start_ = 0;
  size_t pos_ = 0;
  // Quoted text before this offset has been taken already.
  size_t consumed_ = 0;
  TMode mode_ = TMode::mdMarkup;
  TScriptState script_ = TScriptState::ssCode;
  char quote_ = 0;
  std::string string_;
  bool string_overflow_ = false;
  // Open <object> elements, innermost last: whether each is a Flash one.
  std::vector<bool> objects_;
  std::vector<TAttribute> attributes_;
  bool have_base_ = false;
  std::string base_href_;
  // What references are resolved against, worked out once for the page's address and its
  // <base href>.
  struct TResolution {
    bool Archived = false;
    TWebArchiveCapture Capture;  // of an archived page
    // The base of relative references; of an archived page, in the original site.
    std::string Base;
  };
  TResolution resolution_;
  // The references found and their addresses, each once, in the order found. Of the references
  // that need resolving a set is kept as well; the others are told by their addresses.
  // references_ holds no bytes of its own: it views the strings of relative_, addresses_ and
  // earlier_addresses_, whose bytes never move.
  std::deque<std::string_view> references_;
  TDistinctBlockStrings relative_;
  TDistinctBlockStrings addresses_;
  // The addresses of before each new resolution, which references_ may still view.
  std::vector<TStringBlock> earlier_addresses_;
  TKeyOf key_of_;
  TStringBlock keys_;  // of addresses_, with key_of_
  size_t relistings_ = 0;
  std::string key_;      // the one being worked out
  std::string decoded_;  // a candidate's value, decoded
  // What the page's address bytes are read in: the response's charset, else the first the page
  // declares (a byte-order mark, <meta charset>, <meta http-equiv>); empty while neither is
  // known, when each address is read as UTF-8 if it is that, else in the user's fallback.
  std::string http_charset_;
  std::string declared_charset_;
  std::string charset_;
  std::string fallback_charset_;
  // Of a double-byte charset_ whose second bytes may be ASCII: which bytes begin a character
  // (256 of them), or none.
  const bool* lead_bytes_ = nullptr;
  bool started_ = false;  // the page's first bytes were looked at
  // An address was read in a charset: another one changes it.
  bool charset_used_ = false;
  // The frame references met, as written, each once.
  std::vector<std::string> frame_references_;
  std::vector<std::string> frames_;  // of the last page finished
};
