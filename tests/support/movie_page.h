// A test page that refers to movies in every form the grab must find or pass over, with the
// entries a grab lists from it.
#pragma once

#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

// The movie that tests serve and save (30 bytes).
inline std::string RedSwfBytes() {
  return ReadFileBytes(std::string(FLASHGRAB_SOURCE_DIR) + "/tests/data/red.swf");
}

// `origin` ("http://127.0.0.1:PORT") serves the movies the page names under /movies/. The
// other hosts are never contacted.
inline std::string MoviePage(const std::string& origin) {
  return "<html><head><title>movies</title></head><body>\n"
         // Double quotes, in attributes and in a list with a comma between two addresses.
         "<embed src=\"" +
         origin +
         "/movies/red.swf\" width=\"1\">\n"
         "<object data=\"" +
         origin +
         "/movies/big.swf\"></object>\n"
         "<script>var list = [\"" +
         origin + "/movies/one.swf\",\"" + origin +
         "/movies/two.swf\"];\n"
         // Apostrophes with only a comma between them: one entry across both.
         "var pair = ['http://a.example/x.swf','http://a.example/y.swf'];</script>\n"
         // Vertical bars quote too, and stay.
         "<p>|http://bar.example/pipe.swf|</p>\n"
         // Capital letters in the ending: not found.
         "<p>\"http://cap.example/CAPS.SWF\" \"http://cap.example/mixed.Swf\"</p>\n"
         // Relative addresses: not found.
         "<a href=\"movies/relative.swf\">r</a> <a href=\"/movies/rooted.swf\">r</a>\n"
         // Schemes with a digit, \"+\", \"-\" or \".\": not found.
         "<p>\"h2p://digit.example/d.swf\" \"svn+ssh://plus.example/p.swf\" "
         "\"x-y://minus.example/m.swf\" \"a.b://dot.example/d.swf\"</p>\n"
         // A blank inside is part of an address; other white space is not.
         "<p>\"http://space.example/my movie.swf\" \"http://tab.example/a\tb.swf\"</p>\n"
         // A script whose query ends in .swf: found whole.
         "<param value=\"" +
         origin +
         "/play.php?file=red.swf\">\n"
         // .swf not followed by the quote: not found; unless a later .swf ends the run.
         "<p>\"http://q.example/movie.swf?v=2\" "
         "\"http://late.example/a.swf?next=http://late.example/b.swf\"</p>\n"
         // Letter case alone differs: the pattern keeps the first spelling found, the reader
         // every file (but one site, whatever the case of its name).
         "<embed src=\"" +
         origin + "/movies/Red.swf\"> <embed src=\"HTTP://127.0.0.1" +
         origin.substr(origin.find(':', 5)) +
         "/MOVIES/RED.swf\">\n"
         "<p>'http://dup.example/First.swf' 'http://dup.example/first.swf'</p>\n"
         // Other schemes, brackets included (the range A..z admits them).
         "<p>\"ftp://files.example/f.swf\" \"[x]://odd.example/o.swf\"</p>\n"
         "</body></html>\n";
}

// The entries of MoviePage(origin) in the order they are first found.
inline std::vector<std::string> MoviePageEntries(const std::string& origin) {
  return {
      origin + "/movies/red.swf",
      origin + "/movies/big.swf",
      origin + "/movies/one.swf",
      origin + "/movies/two.swf",
      "http://a.example/x.swf,http://a.example/y.swf",
      "|http://bar.example/pipe.swf|",
      origin + "/play.php?file=red.swf",
      "http://late.example/a.swf?next=http://late.example/b.swf",
      "http://dup.example/First.swf",
      "ftp://files.example/f.swf",
      "[x]://odd.example/o.swf",
  };
}

// The entries the page reader finds on MoviePage(origin) served at origin + "/page.html", in the
// order first found, as requests carry them: the pattern's ones (bars are not quotes, so not the
// piped one; quoted runs end at their own quote), plus relative, capitalised, queried and
// blank-holding addresses, and every spelling of a path.
inline std::vector<std::string> MoviePageReaderEntries(const std::string& origin) {
  return {
      origin + "/movies/red.swf",
      origin + "/movies/big.swf",
      origin + "/movies/one.swf",
      origin + "/movies/two.swf",
      "http://a.example/x.swf",
      "http://a.example/y.swf",
      "http://cap.example/CAPS.SWF",
      "http://cap.example/mixed.Swf",
      origin + "/movies/relative.swf",
      origin + "/movies/rooted.swf",
      "http://space.example/my%20movie.swf",
      origin + "/play.php?file=red.swf",
      "http://q.example/movie.swf?v=2",
      "http://late.example/a.swf?next=http://late.example/b.swf",
      origin + "/movies/Red.swf",
      origin + "/MOVIES/RED.swf",
      "http://dup.example/First.swf",
      "http://dup.example/first.swf",
      "ftp://files.example/f.swf",
  };
}
