#include "swf/xml_addresses.h"

#include <array>
#include <utility>

#include "swf/movie_strings.h"

namespace {

bool Space(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view TrimSpace(std::string_view text) {
  while (!text.empty() && Space(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && Space(text.back()))
    text.remove_suffix(1);
  return text;
}

std::string Unescape(std::string_view text) {
  static constexpr std::array<std::pair<std::string_view, char>, 5> kEntities = {
      {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}}};
  std::string result;
  result.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    bool replaced = false;
    if (text[i] == '&') {
      for (const auto& [name, c] : kEntities) {
        if (text.substr(i, name.size()) == name) {
          result += c;
          i += name.size() - 1;
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) result += text[i];
  }
  return result;
}

// Position after the first `end` at or after `from`; the end of the text when there is none.
size_t After(std::string_view xml, size_t from, std::string_view end) {
  const size_t at = xml.find(end, from);
  return at == std::string_view::npos ? xml.size() : at + end.size();
}

}  // namespace

std::vector<std::string> XmlAddresses(std::string_view xml) {
  TMovieStrings strings;
  const auto take = [&strings](std::string_view raw) {
    const std::string_view trimmed = TrimSpace(raw);
    if (!trimmed.empty()) strings.Add(Unescape(trimmed), TReferenceSource::rsXmlValue);
  };
  size_t i = 0;
  while (i < xml.size()) {
    const size_t open = xml.find('<', i);
    take(xml.substr(i, (open == std::string_view::npos ? xml.size() : open) - i));
    if (open == std::string_view::npos) break;
    const std::string_view rest = xml.substr(open);
    if (rest.substr(0, 4) == "<!--") {
      i = After(xml, open + 4, "-->");
    } else if (rest.substr(0, 9) == "<![CDATA[") {
      const size_t end = xml.find("]]>", open + 9);
      const size_t stop = end == std::string_view::npos ? xml.size() : end;
      take(xml.substr(open + 9, stop - open - 9));
      i = After(xml, open + 9, "]]>");
    } else if (rest.substr(0, 2) == "<?") {
      i = After(xml, open + 2, "?>");
    } else if (rest.substr(0, 2) == "<!") {
      i = After(xml, open + 2, ">");
    } else {
      // A tag: each quoted value up to the ">" that closes it.
      size_t at = open + 1;
      while (at < xml.size() && xml[at] != '>') {
        if (xml[at] == '"' || xml[at] == '\'') {
          const size_t close = xml.find(xml[at], at + 1);
          if (close == std::string_view::npos) return strings.Addresses();
          take(xml.substr(at + 1, close - at - 1));
          at = close + 1;
        } else {
          ++at;
        }
      }
      i = at + 1;
    }
  }
  return strings.Addresses();
}
