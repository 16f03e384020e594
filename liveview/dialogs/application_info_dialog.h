#pragma once

// The skinned information box: a background picture, the logo and the
// version text, with a skinned OK button; no system frame, rounded
// corners, dragged by its surface.

#include <QDialog>
#include <QImage>
#include <string>

class CQelButton;

namespace liveview {

class CApplicationInfoDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr int kWidth = 304;
    static constexpr int kHeight = 238;

    explicit CApplicationInfoDialog(QWidget* parent = nullptr);
    ~CApplicationInfoDialog() override;

    int DoModal();
    // The set-up; true when both pictures were found (a missing one is left
    // out of the painting, the rest of the box is set up all the same).
    bool OnInitDialog();

    const std::string& VersionText() const { return m_strVersion; }
    CQelButton* okButton() const { return m_ok; }
    bool PicturesLoaded() const { return !m_background.isNull() && !m_logo.isNull(); }

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_background;
    QImage m_logo;
    std::string m_strVersion;
    CQelButton* m_ok = nullptr;
    bool m_initDone = false;
};

}  // namespace liveview
