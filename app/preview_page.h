// The pages the preview pane shows: the player page that plays one movie, and a page with one
// short message. Both fill the pane and never scroll.
#pragma once

#include <QByteArray>
#include <QString>

// Loads "player/ruffle.js" and plays `movieUrl` (both relative to the page) at once: no
// splash, no unmute overlay, letterboxed to the pane.
QByteArray PlayerPageHtml(const QString& movieUrl);
// `text` in the middle of the pane.
QByteArray MessagePageHtml(const QString& text);
