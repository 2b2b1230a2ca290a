#include "charts/ChartText.h"

#include <QLocale>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace pelmor::charts {

QFont chartFont(int pixelSize, bool bold)
{
    QFont font;
    font.setFamilies(
        {QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("Helvetica")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(std::max(1, pixelSize));
    font.setBold(bold);
    return font;
}

QString scaleText(double value)
{
    static const QLocale english(QLocale::English, QLocale::UnitedStates);
    return english.toString(static_cast<qlonglong>(std::llround(value)));
}

double niceStep(double range, double parts)
{
    const double raw = range / parts;
    if (raw <= 1.0)
        return 1.0;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double normalised = raw / magnitude;
    const double factor = normalised <= 1.0 ? 1.0 : normalised <= 2.0 ? 2.0 : normalised <= 5.0 ? 5.0 : 10.0;
    return factor * magnitude;
}

QImage paintedImage(QSize size, const std::function<void(QPainter&)>& paint)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    paint(painter);
    return image;
}

} // namespace pelmor::charts
