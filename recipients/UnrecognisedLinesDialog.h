#pragma once
// The lines an import could not read a number from (the first 1000), to look at and to save
// as a text file.

#include <QDialog>

#include "recipients/ImportTally.h"

class QPlainTextEdit;
class QPushButton;

namespace smsc {

class UnrecognisedLinesDialog final : public QDialog {
    Q_OBJECT
public:
    UnrecognisedLinesDialog(const ImportTally& tally, QWidget* parent);

    QPlainTextEdit* Lines;
    QPushButton* SaveButton;
    QPushButton* CloseButton;

    // "保存": asks for a file and writes the lines to it (GBK, CR LF) in one piece.
    void save();

private:
    ImportTally m_tally;
};

// Tells the user what an import took and left: nothing when nothing was left out; otherwise
// the summary, offering the unrecognised lines when there are any.
void ReportImportLeftOut(QWidget* parent, const ImportTally& tally);

}  // namespace smsc
