#pragma once
// Plays the wait windows' animation clips ("picture\books.avi", ...): uncompressed 8-bit
// palette or 24-bit and RLE8 AVI clips without sound, looped, like the desktop animation
// control.

#include <QLabel>
#include <QString>

#include "platform/AviClip.h"

class QTimer;

namespace smsc {

class ClipPlayer : public QLabel {
    Q_OBJECT
public:
    explicit ClipPlayer(QWidget* parent = nullptr);
    ~ClipPlayer() override;

    // Loads the clip and shows its first frame; false when the file is missing, unreadable
    // or not a playable clip (the player then shows nothing).
    bool open(const QString& path);
    void close();
    bool isOpen() const;

    // play() starts at the first frame and loops at the clip's frame period; stop() keeps
    // the current frame on screen.
    void play();
    void stop();
    bool isPlaying() const;

    int frameCount() const { return m_clip.frameCount(); }
    int currentFrame() const { return m_current; }
    // Timer interval in milliseconds: the clip's frame period, kept within 10 ms .. 10 s.
    int frameInterval() const;

    // The frame timer's handler: shows the next frame, after the last one the first.
    void showNextFrame();

private:
    void showFrame(int index);

    AviClip m_clip;
    QTimer* m_timer;
    int m_current = 0;
    bool m_playing = false;
};

}  // namespace smsc
