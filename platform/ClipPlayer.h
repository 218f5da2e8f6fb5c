#pragma once
// Plays the wait windows' animation clips ("picture\books.avi", ...): uncompressed 8-bit
// palette or 24-bit and RLE8 AVI clips without sound, looped, like the desktop animation
// control.

#include <QLabel>
#include <QString>

namespace smsc {

class ClipPlayer : public QLabel {
    Q_OBJECT
public:
    explicit ClipPlayer(QWidget* parent = nullptr);
    ~ClipPlayer() override;

    // Loads the clip; false when the file is missing, unreadable or not a playable clip
    // (the player then shows nothing).
    bool open(const QString& path);
    void close();
    bool isOpen() const;

    // Starts (looping) and stops the animation; stop keeps the current frame.
    void play();
    void stop();
    bool isPlaying() const;
};

}  // namespace smsc
