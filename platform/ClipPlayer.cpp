#include "platform/ClipPlayer.h"

#include <QPixmap>
#include <QTimer>

#include <algorithm>

namespace smsc {

ClipPlayer::ClipPlayer(QWidget* parent) : QLabel(parent), m_timer(new QTimer(this)) {
    setAlignment(Qt::AlignCenter);
    m_timer->setObjectName(QStringLiteral("ClipTimer"));
    connect(m_timer, &QTimer::timeout, this, &ClipPlayer::showNextFrame);
}

ClipPlayer::~ClipPlayer() = default;

bool ClipPlayer::open(const QString& path) {
    close();
    if (!m_clip.load(path))
        return false;
    showFrame(0);
    return true;
}

void ClipPlayer::close() {
    stop();
    m_clip.clear();
    m_current = 0;
    clear();
}

bool ClipPlayer::isOpen() const {
    return !m_clip.isEmpty();
}

void ClipPlayer::play() {
    if (!isOpen() || m_playing)
        return;
    m_playing = true;
    showFrame(0);
    // A single picture needs no timer.
    if (m_clip.frameCount() > 1)
        m_timer->start(frameInterval());
}

void ClipPlayer::stop() {
    m_timer->stop();
    m_playing = false;
}

bool ClipPlayer::isPlaying() const {
    return m_playing;
}

int ClipPlayer::frameInterval() const {
    const quint64 ms = (quint64(m_clip.microsecondsPerFrame()) + 500) / 1000;
    return int(std::clamp<quint64>(ms, 10, 10000));
}

void ClipPlayer::showNextFrame() {
    if (!isOpen())
        return;
    showFrame((m_current + 1) % m_clip.frameCount());
}

void ClipPlayer::showFrame(int index) {
    m_current = index;
    setPixmap(QPixmap::fromImage(m_clip.frame(index)));
}

}  // namespace smsc
