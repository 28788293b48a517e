// The controls of the main window that the preview drives, handed to PreviewController
// by the window that owns them.
#pragma once

class QCheckBox;
class QComboBox;
class QPlainTextEdit;
class QRadioButton;
class QScrollBar;
class QWidget;

namespace tav {

// Each comment names the control in the main window. The window owns the controls; they
// outlive the controller. None may be null.
struct PreviewControls {
    QWidget* window = nullptr;              // frmMain: the parent of the preview's messages
    QWidget* canvas = nullptr;              // Picture2, inside the view Picture1
    QScrollBar* horizontalScroll = nullptr; // HScroll1, under the view
    QScrollBar* verticalScroll = nullptr;   // VScroll1, beside the view
    // Option1(0..2), indexed by preview::DisplayMode: scaled, actual size, fitted.
    QRadioButton* modeButtons[3] = {nullptr, nullptr, nullptr};
    QComboBox* magnification = nullptr;    // CmbSun: the actual-size magnification
    QComboBox* rotation = nullptr;         // CmbKaiten: the rotation code of the display
    QCheckBox* startUnturned = nullptr;    // ChkStart: a clicked file starts at "  0"
    QPlainTextEdit* information = nullptr; // txtTitle: the file's date, size and measures
    QWidget* waitNote = nullptr;           // frmWait: shown while a picture is prepared
};

// Fills the magnification combo box: 0.1 to 0.9, then 1 to 10; "1" shown.
void fillMagnifications(QComboBox& combo);
// Fills a rotation combo box with the four rotation codes; "  0" shown.
void fillRotationCodes(QComboBox& combo);

} // namespace tav
