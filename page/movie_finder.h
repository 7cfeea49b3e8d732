// The second part of the page reader, and the one that knows Flash: it decides which of what
// the markup scanner reports are movie references, and hands them to the reference list. The
// ways pages of the Flash years wrote them: <embed src>, <object data>, <param name="movie"/
// "src">, objects and embeds of a Flash type or with the Flash class id, the movie of the usual
// script calls (swfobject.embedSWF, new SWFObject, new FlashObject, AC_FL_RunContent,
// AC_RunFlContent), and quoted addresses ending in ".swf" anywhere in the text; the players of
// video sites are left out. It also takes the page's <base href>, the charset it declares and
// the pages it shows in frames. Adding a way of embedding a movie touches this part only.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "page/markup_scanner.h"

class TPageCharset;
class TReferenceList;

class TMovieFinder final : public TMarkupSink {
 public:
  // Both must outlive the finder.
  TMovieFinder(TReferenceList& references, TPageCharset& charset);

  // What the scanner is to report to the finder.
  static const TMarkupVocabulary& Vocabulary();

  void OnByteOrderMark() override;
  void OnStartTag(std::string_view name, std::span<const TMarkupAttribute> attributes,
                  bool selfClosing) override;
  void OnEndTag() override;
  void OnQuotedText(std::string_view text) override;
  void OnScriptLiteral(std::string_view text) override;
  void OnScriptCall(size_t call, std::span<const std::optional<std::string>> arguments) override;

 private:
  // What makes a candidate a movie.
  enum class TKind {
    rkSwfAddress,  // only an address ending in ".swf" (before its query, or as a whole)
    rkFlash,       // any address: the element says it is Flash
    rkAddSwf,      // any address, ".swf" added when missing, as the script call does
  };
  // Where a candidate stands: a value with blanks counts where addresses go, elsewhere only
  // when it has a "/" (a path, not a sentence).
  enum class TPlace {
    plText,       // quoted text, a script literal
    plAttribute,  // the value of `attribute`: an address if it is src, data, href, value, movie
    plAddress,    // a movie parameter, a call's argument
  };
  // Hands `value` to the list when it is a movie address of `kind`; `markup`: it comes from
  // markup, so character references and escaped slashes are decoded first.
  bool Candidate(std::string_view value, TKind kind, bool markup, TPlace place,
                 std::string_view attribute = std::string_view());
  // Quoted addresses inside a complete text (an attribute value, a script literal).
  void ScanSpan(std::string_view text);
  // A <frame> or <iframe> that shows a page.
  void TakeFrame(std::string_view source);
  // A <meta> that may declare the page's charset.
  void TakeMeta(std::span<const TMarkupAttribute> attributes);
  void Declare(std::string charset);

  TReferenceList& references_;
  TPageCharset& charset_;
  // Open <object> elements, innermost last: whether each is a Flash one.
  std::vector<bool> objects_;
  std::string decoded_;  // a candidate's value, decoded
};
