// The one origin the preview pane loads from: a small HTTP server on 127.0.0.1 that the window
// owns. The player does not run from file pages, and a movie taken straight from its site
// would be refused by the browser's cross-origin rules, so the player page, the player's
// script and .wasm files and the movie bytes all come from here. It serves only below a path
// segment drawn at random for each run, answers GET alone, and closes every connection after
// its answer.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <map>
#include <memory>
#include <string>

class QTcpServer;
class QTcpSocket;

// One answer: status, content type and body.
struct TPreviewReply {
  int Status = 404;
  QByteArray ContentType;
  std::shared_ptr<const std::string> Body;
  // Pages and movies change with every preview; the player's files do not.
  bool Cacheable = false;
};

class TPreviewOrigin : public QObject {
  Q_OBJECT

 public:
  // `playerFolder` holds ruffle.js and the files it loads; it ends in "/".
  explicit TPreviewOrigin(QString playerFolder, QObject* parent = nullptr);
  ~TPreviewOrigin() override;

  // Listens on a free port of 127.0.0.1, once; raises Exception when no port can be had.
  void Start();
  // Stops listening and drops every connection.
  void Close();
  bool Listening() const;
  int Port() const;
  // "/TOKEN/": every address served starts with it.
  const QByteArray& Root() const { return root_; }
  // The address of the page of preview `generation`.
  QString PageUrl(int generation) const;

  // What the page of `generation` shows from now on; a new generation replaces the old one,
  // whose page and movie are gone.
  void ShowLoading(int generation);
  void ShowMovie(int generation, std::string movie);
  void ShowMessage(int generation, const QString& text);

  // The answer to a GET of `target` (the request target as sent, query included).
  TPreviewReply Respond(const QByteArray& target);

 private:
  enum class TPageKind { pkLoading, pkMovie, pkMessage };
  void Accept();
  void Serve(QTcpSocket* socket);
  TPreviewReply PlayerFile(const QByteArray& name);
  bool PlayerPresent() const;

  QString player_folder_;
  QByteArray root_;
  QTcpServer* server_ = nullptr;
  int generation_ = -1;
  TPageKind kind_ = TPageKind::pkLoading;
  std::shared_ptr<const std::string> movie_;
  QString message_;
  std::map<QByteArray, std::shared_ptr<const std::string>> player_files_;
};
