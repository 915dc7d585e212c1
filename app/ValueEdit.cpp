#include "app/ValueEdit.h"

#include <QLineEdit>
#include <algorithm>
#include <cmath>

namespace {

constexpr double KStep = 0.1;

QChar DecimalSeparator(const QLocale& locale) {
    const QString point = locale.decimalPoint();
    return point.size() == 1 ? point.front() : QChar(u'.');
}

}  // namespace

TValueEdit::TValueEdit(QWidget* parent) : QAbstractSpinBox(parent) {
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    setAccelerated(false);
    // The line edit reports each real change of its text once, whoever made
    // it; a text set to what it already was is no change.
    connect(lineEdit(), &QLineEdit::textChanged, this, [this] { emit Changed(); });
}

QString TValueEdit::Text() const {
    return lineEdit()->text();
}

void TValueEdit::SetText(const QString& text) {
    if (text != lineEdit()->text()) lineEdit()->setText(text);
}

void TValueEdit::SetValue(double value) {
    SetText(FormatValue(value));
}

QString TValueEdit::FormatValue(double value, const QLocale& locale) {
    // The digits the edits accept are ASCII ones; a locale that writes others
    // keeps its separator and sign but gets the C locale's digits.
    QLocale shown = locale.zeroDigit() == QLatin1String("0") ? locale : QLocale::c();
    shown.setNumberOptions(QLocale::OmitGroupSeparator);
    QString text = shown.toString(std::abs(value), 'f', 2);
    if (shown != locale) text.replace(shown.decimalPoint(), locale.decimalPoint());
    // The sign belongs to the number shown: what rounds to zero has none.
    const bool zero = std::all_of(text.begin(), text.end(),
                                  [](QChar c) { return !c.isDigit() || c == u'0'; });
    if (value < 0 && !zero) text.prepend(locale.negativeSign());
    return text;
}

std::optional<double> TValueEdit::ParseValue(const QString& text, const QLocale& locale) {
    const QString trimmed = text.trimmed();
    const QChar sep = DecimalSeparator(locale);
    int digits = 0;
    int seps = 0;
    for (qsizetype i = 0; i < trimmed.size(); ++i) {
        const QChar c = trimmed.at(i);
        if (c.isDigit() && c.unicode() < 128) {
            ++digits;
        } else if (c == sep && seps == 0) {
            ++seps;
        } else if ((c == u'-' || c == u'+') && i == 0) {
            continue;
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0) return std::nullopt;
    QString plain = trimmed;
    plain.replace(sep, u'.');
    bool ok = false;
    const double value = plain.toDouble(&ok);
    if (!ok || !std::isfinite(value)) return std::nullopt;
    return value;
}

bool TValueEdit::AcceptInput(QString& input, const QLocale& locale) {
    const QChar sep = DecimalSeparator(locale);
    input.replace(u'.', sep);
    input.replace(u',', sep);
    int seps = 0;
    int decimals = 0;
    for (const QChar c : input) {
        if (c == sep) {
            if (++seps > 1) return false;
        } else if (c.isDigit() && c.unicode() < 128) {
            if (seps > 0 && ++decimals > 2) return false;
        } else {
            return false;
        }
    }
    return true;
}

QValidator::State TValueEdit::validate(QString& input, int& /*pos*/) const {
    // The replacement keeps the length, so the cursor position stays right.
    return AcceptInput(input) ? QValidator::Acceptable : QValidator::Invalid;
}

void TValueEdit::stepBy(int steps) {
    // Stepping from a text that is not a number starts at zero, as an empty
    // edit reads as nothing to keep.
    const double current = ParseValue(Text()).value_or(0.0);
    double next = std::round((current + steps * KStep) * 100.0) / 100.0;
    if (next < 0.0) next = 0.0;
    SetValue(next);
    lineEdit()->selectAll();
}

QAbstractSpinBox::StepEnabled TValueEdit::stepEnabled() const {
    if (isReadOnly()) return StepNone;
    return StepUpEnabled | StepDownEnabled;
}
