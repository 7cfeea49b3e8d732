#include "app/preview_page.h"

namespace {

const char kStyle[] =
    "<style>html,body{margin:0;padding:0;width:100%;height:100%;overflow:hidden;"
    "background:#fff;}"
    "#player,ruffle-player{display:block;width:100%;height:100%;}"
    "#message{display:flex;align-items:center;justify-content:center;box-sizing:border-box;"
    "width:100%;height:100%;padding:16px;font:13px sans-serif;text-align:center;"
    "word-break:break-all;white-space:pre-line;}</style>";

QByteArray Head() {
  return QByteArray("<!DOCTYPE html><html><head><meta charset=\"utf-8\">") + kStyle;
}

// `text` as a JavaScript string literal inside a script element.
QByteArray ScriptString(const QString& text) {
  QByteArray out = "\"";
  for (const QChar c : text) {
    if (c.isLetterOrNumber() || c == '.' || c == '/' || c == '_' || c == '-' || c == '?' ||
        c == '=') {
      out += QString(c).toUtf8();
    } else {
      out += "\\u" + QByteArray::number(c.unicode(), 16).rightJustified(4, '0');
    }
  }
  return out + "\"";
}

}  // namespace

QByteArray PlayerPageHtml(const QString& movieUrl) {
  return Head() +
         "<script>window.RufflePlayer=window.RufflePlayer||{};"
         "window.RufflePlayer.config={autoplay:\"on\",unmuteOverlay:\"hidden\","
         "splashScreen:false,letterbox:\"on\"};</script>"
         "<script src=\"player/ruffle.js\"></script></head><body><div id=\"player\"></div>"
         "<script>const player=window.RufflePlayer.newest().createPlayer();"
         "document.getElementById(\"player\").appendChild(player);"
         "player.load({url:" +
         ScriptString(movieUrl) + "});</script></body></html>";
}

QByteArray MessagePageHtml(const QString& text) {
  return Head() + "</head><body><div id=\"message\">" + text.toHtmlEscaped().toUtf8() +
         "</div></body></html>";
}
