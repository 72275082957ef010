#include "canvas/svg/pathDataParser.h"

#include <algorithm>
#include <cmath>

#include "platform/Log.h"

namespace velquine {

namespace {

constexpr double twoPi = 6.283185307179586;
constexpr double halfPi = 1.5707963267948966;

const SVGCharacterSet& commandLetters()
{
    static const SVGCharacterSet set{QStringLiteral("CcMmLlHhVvZzQqTtAaSs"), false};
    return set;
}

const SVGCharacterSet& separators()
{
    static const SVGCharacterSet set{QStringLiteral(","), true};
    return set;
}

bool isOneOf(QChar c, const char* letters)
{
    for (const char* p = letters; *p; ++p)
        if (c == QLatin1Char(*p))
            return true;
    return false;
}

std::string characterText(QChar c)
{
    return QString(c).toStdString();
}

} // namespace

pathDataParser::pathDataParser(const std::string& pathText) : text_(QString::fromStdString(pathText).trimmed()) {}

SVGBezierPath pathDataParser::parse()
{
    path_ = SVGBezierPath();
    lastControl_ = Point{};
    command_ = QChar();
    previousCommand_ = QChar();
    SVGScanner scanner(text_, separators());
    for (;;) {
        const std::optional<QString> run = scanner.scanCharacters(commandLetters());
        if (!run) {
            if (scanner.atEnd())
                break;
            scanner.skip();
            VQ_LOG("parse()", "*** SVG parse error at index: " + std::to_string(scanner.position()) + ": '"
                                  + characterText(scanner.current()) + "'");
            break;
        }
        operands_.clear();
        if (run->size() >= 2)
            scanner.setPosition(scanner.position() - (run->size() - 1));
        else
            readOperands(scanner);
        previousCommand_ = command_;
        command_ = run->front();
        dispatch();
    }
    return std::move(path_);
}

void pathDataParser::readOperands(SVGScanner& scanner)
{
    for (;;) {
        if (scanner.atEnd())
            return;
        // Each "0" stands alone: flags such as "00" are two operands and "05" is 0 and 5. A "0" that a "."
        // follows begins a decimal number instead.
        for (;;) {
            const qsizetype before = scanner.position();
            scanner.skip();
            if (scanner.current() != QLatin1Char('0')) {
                scanner.setPosition(before);
                break;
            }
            const qsizetype zero = scanner.position();
            if (zero + 1 < scanner.text().size() && scanner.text()[zero + 1] == QLatin1Char('.')) {
                scanner.setPosition(zero);
                break;
            }
            operands_.push_back(0.0f);
            scanner.setPosition(zero + 1);
        }
        const std::optional<float> number = scanner.scanFloat();
        if (!number)
            return;
        operands_.push_back(*number);
    }
}

void pathDataParser::dispatch()
{
    const QChar letter = command_;
    if (path_.isEmpty() && letter != QLatin1Char('M') && letter != QLatin1Char('m'))
        path_.moveTo(Point{0, 0});
    const bool relative = letter.isLower();
    switch (letter.toUpper().toLatin1()) {
    case 'M': moveTo(relative); break;
    case 'L': lineTo(relative); break;
    case 'H': horizontalLineTo(relative); break;
    case 'V': verticalLineTo(relative); break;
    case 'C': curveTo(relative); break;
    case 'S': smoothCurveTo(relative); break;
    case 'Q': quadCurveTo(relative); break;
    case 'T': smoothQuadCurveTo(relative); break;
    case 'A': arcTo(relative); break;
    case 'Z': path_.closeSubpath(); break;
    default: break;
    }
}

Point pathDataParser::base(bool relative) const
{
    return relative ? path_.currentPoint() : Point{0, 0};
}

Point pathDataParser::operandPoint(std::size_t index, bool relative) const
{
    return base(relative) + Point{double(operands_[index]), double(operands_[index + 1])};
}

void pathDataParser::moveTo(bool relative)
{
    if (operands_.size() % 2 != 0) {
        VQ_LOG("moveTo()", "*** Error: Invalid parameter count in M style token");
        return;
    }
    for (std::size_t i = 0; i < operands_.size(); i += 2) {
        const Point p = operandPoint(i, relative);
        if (i == 0)
            path_.moveTo(p);
        else
            path_.lineTo(p);
    }
}

void pathDataParser::lineTo(bool relative)
{
    for (std::size_t i = 0; i + 1 < operands_.size(); i += 2)
        path_.lineTo(operandPoint(i, relative));
    if (operands_.size() % 2 != 0)
        VQ_LOG("lineTo()", "*** Error: Invalid parameter count in L style token");
}

void pathDataParser::horizontalLineTo(bool relative)
{
    for (const float x : operands_) {
        const Point current = path_.currentPoint();
        path_.lineTo(Point{base(relative).x + double(x), current.y});
    }
}

void pathDataParser::verticalLineTo(bool relative)
{
    for (const float y : operands_) {
        const Point current = path_.currentPoint();
        path_.lineTo(Point{current.x, base(relative).y + double(y)});
    }
}

void pathDataParser::curveTo(bool relative)
{
    if (operands_.size() % 6 != 0) {
        VQ_LOG("curveTo()", "*** Error: Invalid number of parameters for C command");
        return;
    }
    for (std::size_t i = 0; i < operands_.size(); i += 6) {
        const Point c1 = operandPoint(i, relative);
        const Point c2 = operandPoint(i + 2, relative);
        const Point end = operandPoint(i + 4, relative);
        path_.curveTo(c1, c2, end);
        lastControl_ = c2;
    }
}

void pathDataParser::smoothCurveTo(bool relative)
{
    if (operands_.size() % 4 != 0) {
        VQ_LOG("smoothCurveTo()", "*** Error: Invalid number of parameters for S command");
        return;
    }
    if (!isOneOf(previousCommand_, "CcSs"))
        lastControl_ = path_.currentPoint();
    for (std::size_t i = 0; i < operands_.size(); i += 4) {
        const Point current = path_.currentPoint();
        const Point c1{2 * current.x - lastControl_.x, 2 * current.y - lastControl_.y};
        const Point c2 = operandPoint(i, relative);
        const Point end = operandPoint(i + 2, relative);
        path_.curveTo(c1, c2, end);
        lastControl_ = c2;
    }
}

void pathDataParser::quadCurveTo(bool relative)
{
    if (operands_.size() % 4 != 0) {
        VQ_LOG("quadCurveTo()", "*** Error: Invalid number of parameters for Q command");
        return;
    }
    for (std::size_t i = 0; i < operands_.size(); i += 4) {
        const Point control = operandPoint(i, relative);
        const Point end = operandPoint(i + 2, relative);
        path_.quadCurveTo(control, end);
        lastControl_ = control;
    }
}

void pathDataParser::smoothQuadCurveTo(bool relative)
{
    if (operands_.size() % 2 != 0) {
        VQ_LOG("smoothQuadCurveTo()", "*** Error: Invalid number of parameters for T command");
        return;
    }
    if (!isOneOf(previousCommand_, "QqTt"))
        lastControl_ = path_.currentPoint();
    for (std::size_t i = 0; i < operands_.size(); i += 2) {
        const Point current = path_.currentPoint();
        const Point control{2 * current.x - lastControl_.x, 2 * current.y - lastControl_.y};
        const Point end = operandPoint(i, relative);
        path_.quadCurveTo(control, end);
        lastControl_ = control;
    }
}

void pathDataParser::arcTo(bool relative)
{
    if (operands_.size() % 7 != 0) {
        VQ_LOG("arcTo()", "*** Error: Invalid number of parameters for A command");
        return;
    }
    for (std::size_t i = 0; i < operands_.size(); i += 7)
        arc(operands_[i], operands_[i + 1], operands_[i + 2], operands_[i + 3], operands_[i + 4],
            operandPoint(i + 5, relative));
}

// The endpoint form of an elliptical arc turned into its centre form, then drawn as one cubic per quarter turn
// or less.
void pathDataParser::arc(double rx, double ry, double angle, double largeArc, double sweep, Point end)
{
    const Point start = path_.currentPoint();
    const double phi = angle * twoPi / 360.0;
    const double s = std::sin(phi);
    const double c = std::cos(phi);
    const double dx = (start.x - end.x) / 2;
    const double dy = (start.y - end.y) / 2;
    const double x1p = c * dx + s * dy;
    const double y1p = -s * dx + c * dy;
    if (x1p == 0 && y1p == 0)
        return;   // the end is the start: nothing to draw

    rx = std::fabs(rx);
    ry = std::fabs(ry);
    // An ellipse without a radius is no ellipse: the arc is the straight line to its end.
    if (rx == 0 || ry == 0) {
        path_.lineTo(end);
        return;
    }
    const double lambda = (x1p * x1p) / (rx * rx) + (y1p * y1p) / (ry * ry);
    if (lambda > 1) {
        rx *= std::sqrt(lambda);
        ry *= std::sqrt(lambda);
    }
    const double rx2 = rx * rx;
    const double ry2 = ry * ry;
    const double denominator = rx2 * y1p * y1p + ry2 * x1p * x1p;
    double k = denominator > 0
        ? std::sqrt(std::max(0.0, rx2 * ry2 - rx2 * y1p * y1p - ry2 * x1p * x1p) / denominator)
        : 0.0;
    if (!std::isfinite(k))
        k = 0;
    if (largeArc == sweep)
        k = -k;
    const double cxp = k * rx * y1p / ry;
    const double cyp = -k * ry * x1p / rx;
    const double ux = (x1p - cxp) / rx;
    const double uy = (y1p - cyp) / ry;
    const double vx = (-x1p - cxp) / rx;
    const double vy = (-y1p - cyp) / ry;
    const double uLength2 = ux * ux + uy * uy;
    double delta = std::acos(std::clamp((ux * vx + uy * vy) / uLength2, -1.0, 1.0));
    if (ux * vy - uy * vx < 0)
        delta = -delta;
    if (delta > 0 && sweep == 0)
        delta -= twoPi;
    else if (delta < 0 && sweep == 1)
        delta += twoPi;
    const double cx = (start.x + end.x) / 2 + c * cxp - s * cyp;
    const double cy = (start.y + end.y) / 2 + s * cxp + c * cyp;
    double theta = std::acos(std::clamp(ux, -1.0, 1.0));
    if (uy < 0)
        theta = -theta;
    // Radii too large or too small for doubles leave nothing sensible to draw but the line.
    if (!std::isfinite(delta) || !std::isfinite(theta) || !std::isfinite(cx) || !std::isfinite(cy)
        || !std::isfinite(rx) || !std::isfinite(ry)) {
        path_.lineTo(end);
        return;
    }
    const int segments = std::max(1, int(std::ceil(std::fabs(delta) / halfPi)));
    const double step = delta / segments;
    const double t = std::tan(step / 4) * 1.3333333333333333;
    const auto map = [&](double x, double y) { return Point{cx + c * x - s * y, cy + s * x + c * y}; };
    for (int i = 0; i < segments; ++i) {
        const double s1 = std::sin(theta);
        const double c1 = std::cos(theta);
        theta += step;
        const double s2 = std::sin(theta);
        const double c2 = std::cos(theta);
        const Point control1 = map(rx * (c1 - t * s1), ry * (s1 + t * c1));
        const Point control2 = map(rx * (c2 + t * s2), ry * (s2 - t * c2));
        const Point to = map(rx * c2, ry * s2);
        path_.curveTo(control1, control2, to);
        lastControl_ = control2;
    }
}

} // namespace velquine
