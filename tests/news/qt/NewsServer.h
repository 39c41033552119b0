// A small HTTP server on 127.0.0.1 for the news tests: it reads one request per
// connection and answers with the bytes it was given, then closes the
// connection, or stays silent until told to answer.
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <utility>

namespace marrowgate::test {

class NewsServer : public QObject {
public:
    enum class Mode { Answer, Silent };

    explicit NewsServer(QObject* parent = nullptr) : QObject(parent) {
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
            }
        });
    }

    bool listen() { return server_.listen(QHostAddress::LocalHost); }
    QString site() const { return QStringLiteral("http://127.0.0.1:%1").arg(server_.serverPort()); }

    // A whole response with this status and body.
    void answer(int status, const QByteArray& body) {
        mode = Mode::Answer;
        response = "HTTP/1.1 " + QByteArray::number(status) + " Status\r\nContent-Type: text/plain\r\n" +
                   "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    }

    // Answers the requests that were kept waiting while silent.
    void answer_waiting() {
        mode = Mode::Answer;
        for (QTcpSocket* socket : std::exchange(waiting_, {})) send(socket);
    }

    Mode mode = Mode::Answer;
    QByteArray response;
    QList<QByteArray> request_lines;  // the first line of each request

private:
    void serve(QTcpSocket* socket) {
        const QByteArray request = socket->peek(socket->bytesAvailable());
        if (!request.contains("\r\n\r\n")) return;  // the request is not all there yet
        socket->readAll();
        request_lines.append(request.left(request.indexOf("\r\n")));
        if (mode == Mode::Silent)
            waiting_.append(socket);
        else
            send(socket);
    }

    void send(QTcpSocket* socket) {
        socket->write(response);
        socket->disconnectFromHost();
    }

    QTcpServer server_;
    QList<QTcpSocket*> waiting_;
};

}  // namespace marrowgate::test
