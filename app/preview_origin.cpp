#include "app/preview_origin.h"

#include <QCoreApplication>
#include <QFile>
#include <QHostAddress>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>

#include "app/preview_page.h"
#include "base/exception.h"

namespace {

// A request head longer than this is not one the browser sends; the connection is dropped.
constexpr qsizetype kMaxRequestHead = 16 * 1024;
// The body goes out in pieces of this size as the socket takes them, so a large movie is
// never copied whole into the socket's buffer.
constexpr qsizetype kSendPiece = 256 * 1024;

const char kLoadingText[] = QT_TRANSLATE_NOOP("TPreviewOrigin", "正在载入影片…");

std::shared_ptr<const std::string> Shared(const QByteArray& bytes) {
  return std::make_shared<const std::string>(bytes.constData(), static_cast<size_t>(bytes.size()));
}

TPreviewReply Reply(int status, const char* type, std::shared_ptr<const std::string> body) {
  TPreviewReply reply;
  reply.Status = status;
  reply.ContentType = type;
  reply.Body = std::move(body);
  return reply;
}

TPreviewReply NotFound() {
  return Reply(404, "text/plain; charset=utf-8", std::make_shared<const std::string>("Not found"));
}

QByteArray ReasonOf(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 400:
      return "Bad Request";
    case 405:
      return "Method Not Allowed";
    default:
      return "Not Found";
  }
}

// The player's own files: its script, its chunks and its .wasm modules, by plain name only.
const QRegularExpression& PlayerFileName() {
  static const QRegularExpression name(
      QStringLiteral("^[A-Za-z0-9_-][A-Za-z0-9._-]*\\.(js|wasm)$"));
  return name;
}

// One connection: the request head is gathered, answered once, and the connection closes.
class TOriginConnection : public QObject {
 public:
  TOriginConnection(QTcpSocket* socket, TPreviewOrigin* origin)
      : QObject(socket), socket_(socket), origin_(origin) {
    connect(socket_, &QTcpSocket::readyRead, this, &TOriginConnection::Read);
    connect(socket_, &QTcpSocket::bytesWritten, this, &TOriginConnection::SendMore);
    connect(socket_, &QTcpSocket::disconnected, socket_, &QObject::deleteLater);
  }

 private:
  void Read() {
    if (answered_) {
      socket_->readAll();
      return;
    }
    head_ += socket_->readAll();
    const qsizetype end = head_.indexOf("\r\n\r\n");
    if (end < 0) {
      if (head_.size() > kMaxRequestHead) socket_->abort();
      return;
    }
    answered_ = true;
    const QList<QByteArray> parts = head_.left(head_.indexOf("\r\n")).split(' ');
    TPreviewReply reply;
    if (parts.size() != 3 || !parts[2].startsWith("HTTP/"))
      reply = Reply(400, "text/plain; charset=utf-8", std::make_shared<const std::string>());
    else if (parts[0] != "GET")
      reply = Reply(405, "text/plain; charset=utf-8", std::make_shared<const std::string>());
    else
      reply = origin_->Respond(parts[1]);
    body_ = reply.Body ? reply.Body : std::make_shared<const std::string>();
    QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.Status) + ' ' +
                      ReasonOf(reply.Status) + "\r\nContent-Type: " + reply.ContentType +
                      "\r\nContent-Length: " + QByteArray::number(qulonglong(body_->size())) +
                      "\r\nCache-Control: " + (reply.Cacheable ? "max-age=3600" : "no-store") +
                      "\r\nConnection: close\r\n\r\n";
    socket_->write(head);
    SendMore();
  }

  void SendMore() {
    if (!answered_ || done_) return;
    // Keep about one piece queued; the next goes when the socket has taken it.
    if (socket_->bytesToWrite() > kSendPiece) return;
    const qsizetype left = static_cast<qsizetype>(body_->size()) - sent_;
    if (left <= 0) {
      done_ = true;
      socket_->disconnectFromHost();
      return;
    }
    const qsizetype piece = std::min(left, kSendPiece);
    socket_->write(body_->data() + sent_, piece);
    sent_ += piece;
  }

  QTcpSocket* socket_;
  TPreviewOrigin* origin_;
  QByteArray head_;
  bool answered_ = false;
  bool done_ = false;
  std::shared_ptr<const std::string> body_;
  qsizetype sent_ = 0;
};

}  // namespace

TPreviewOrigin::TPreviewOrigin(QString playerFolder, QObject* parent)
    : QObject(parent), player_folder_(std::move(playerFolder)) {
  const quint64 high = QRandomGenerator::system()->generate64();
  const quint64 low = QRandomGenerator::system()->generate64();
  root_ = '/' + QByteArray::number(high, 16).rightJustified(16, '0') +
          QByteArray::number(low, 16).rightJustified(16, '0') + '/';
}

TPreviewOrigin::~TPreviewOrigin() {
  Close();
}

void TPreviewOrigin::Start() {
  if (server_) return;
  auto* server = new QTcpServer(this);
  if (!server->listen(QHostAddress::LocalHost, 0)) {
    const std::string reason = server->errorString().toLocal8Bit().toStdString();
    delete server;
    throw Exception("The preview cannot listen on 127.0.0.1: " + reason);
  }
  server_ = server;
  connect(server_, &QTcpServer::newConnection, this, &TPreviewOrigin::Accept);
}

void TPreviewOrigin::Close() {
  if (!server_) return;
  server_->close();
  // Connections are children of the server; deleting it drops them.
  delete server_;
  server_ = nullptr;
}

bool TPreviewOrigin::Listening() const {
  return server_ && server_->isListening();
}

int TPreviewOrigin::Port() const {
  return server_ ? server_->serverPort() : 0;
}

QString TPreviewOrigin::PageUrl(int generation) const {
  return QStringLiteral("http://127.0.0.1:%1").arg(Port()) + QString::fromLatin1(root_) +
         QString::number(generation) + QStringLiteral(".html");
}

void TPreviewOrigin::ShowLoading(int generation) {
  generation_ = generation;
  kind_ = TPageKind::pkLoading;
  movie_.reset();
  message_.clear();
}

void TPreviewOrigin::ShowMovie(int generation, std::string movie) {
  generation_ = generation;
  kind_ = TPageKind::pkMovie;
  movie_ = std::make_shared<const std::string>(std::move(movie));
  message_.clear();
}

void TPreviewOrigin::ShowMessage(int generation, const QString& text) {
  generation_ = generation;
  kind_ = TPageKind::pkMessage;
  movie_.reset();
  message_ = text;
}

void TPreviewOrigin::Accept() {
  while (QTcpSocket* socket = server_->nextPendingConnection()) {
    // Owned by the server, so that Close drops it.
    socket->setParent(server_);
    new TOriginConnection(socket, this);
  }
}

TPreviewReply TPreviewOrigin::Respond(const QByteArray& target) {
  if (!target.startsWith(root_)) return NotFound();
  const QByteArray rest = target.mid(root_.size());
  if (rest.startsWith("player/")) return PlayerFile(rest.mid(7));
  const QByteArray current = QByteArray::number(generation_);
  if (generation_ < 0) return NotFound();
  if (rest == current + ".html") {
    QByteArray page;
    if (kind_ == TPageKind::pkLoading)
      page = MessagePageHtml(QCoreApplication::translate("TPreviewOrigin", kLoadingText));
    else if (kind_ == TPageKind::pkMessage)
      page = MessagePageHtml(message_);
    else if (!PlayerPresent())
      page = MessagePageHtml(QStringLiteral("The player is not installed: %1 is missing.")
                                 .arg(player_folder_ + QStringLiteral("ruffle.js")));
    else
      page = PlayerPageHtml(QString::fromLatin1(current + ".swf"));
    return Reply(200, "text/html; charset=utf-8", Shared(page));
  }
  if (rest == current + ".swf" && movie_)
    return Reply(200, "application/x-shockwave-flash", movie_);
  return NotFound();
}

bool TPreviewOrigin::PlayerPresent() const {
  return QFile::exists(player_folder_ + QStringLiteral("ruffle.js"));
}

TPreviewReply TPreviewOrigin::PlayerFile(const QByteArray& name) {
  const QString file = QString::fromLatin1(name);
  if (!PlayerFileName().match(file).hasMatch()) return NotFound();
  auto cached = player_files_.find(name);
  if (cached == player_files_.end()) {
    QFile source(player_folder_ + file);
    if (!source.open(QIODevice::ReadOnly)) return NotFound();
    cached = player_files_.emplace(name, Shared(source.readAll())).first;
  }
  TPreviewReply reply =
      Reply(200, name.endsWith(".wasm") ? "application/wasm" : "text/javascript; charset=utf-8",
            cached->second);
  reply.Cacheable = true;
  return reply;
}
