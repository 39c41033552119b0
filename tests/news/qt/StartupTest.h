#pragma once

#include <QObject>

namespace marrowgate::test {

// The window's start-up with a news server that keeps it waiting.
class StartupTest : public QObject {
    Q_OBJECT
private slots:
    void windowAppearsWhileTheNewsServerIsSilent();
};

}  // namespace marrowgate::test
