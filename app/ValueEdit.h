#pragma once

#include <QAbstractSpinBox>
#include <QLocale>
#include <QString>
#include <optional>

// A numeric edit with up/down buttons for the value edits of the main window.
// It shows values as "#0.00" (at least one integer digit, exactly two
// decimals), accepts only text that stays an unsigned number with at most two
// decimals, types the locale's decimal separator for both "." and ",", and
// steps by 0.1 with the Up and Down keys, the buttons and the wheel.
//
// Changed() is emitted exactly once for every change of the text, typed,
// stepped or set by the program; setting the text it already shows emits
// nothing. The window decides what a change means.
class TValueEdit : public QAbstractSpinBox {
    Q_OBJECT
public:
    explicit TValueEdit(QWidget* parent = nullptr);

    QString Text() const;
    void SetText(const QString& text);
    // Shows the value in the "#0.00" format with the locale's separator.
    void SetValue(double value);

    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& pos) const override;

    // "#0.00" through Locale: its decimal separator and minus sign, no group
    // separators. A value that shows as zero has no sign (never "-0.00").
    static QString FormatValue(double value, const QLocale& locale = QLocale());
    // The text as a number, read with the locale's decimal separator; empty
    // when the text is not a number. Surrounding spaces are allowed.
    static std::optional<double> ParseValue(const QString& text, const QLocale& locale = QLocale());
    // What the edit makes of typed or pasted text: "." and "," become the
    // locale's separator. Returns whether the result is acceptable input.
    static bool AcceptInput(QString& input, const QLocale& locale = QLocale());

signals:
    void Changed();

protected:
    StepEnabled stepEnabled() const override;
};
