#include "platform/ui/AnimationValue.h"

#include <cmath>
#include <cstdio>

namespace morvix::platform {

const char* propertyName(AnimatableProperty property)
{
    switch (property) {
    case AnimatableProperty::Alpha:
        return "alpha";
    case AnimatableProperty::Center:
        return "center";
    case AnimatableProperty::Bounds:
        return "bounds";
    case AnimatableProperty::Transform:
        return "transform";
    case AnimatableProperty::BackgroundColor:
        return "backgroundColor";
    }
    return "?";
}

namespace {

double lerp(double a, double b, double t) { return a + (b - a) * t; }

struct Interpolator {
    double t;
    AnimationValue operator()(double a, double b) const { return lerp(a, b, t); }
    AnimationValue operator()(const Point& a, const Point& b) const { return Point { lerp(a.x, b.x, t), lerp(a.y, b.y, t) }; }
    AnimationValue operator()(const Rect& a, const Rect& b) const
    {
        return Rect(lerp(a.x(), b.x(), t), lerp(a.y(), b.y(), t), lerp(a.width(), b.width(), t), lerp(a.height(), b.height(), t));
    }
    AnimationValue operator()(const AffineTransform& a, const AffineTransform& b) const
    {
        // Component-wise, as the platform interpolates affine transforms.
        return AffineTransform { lerp(a.a, b.a, t), lerp(a.b, b.b, t), lerp(a.c, b.c, t), lerp(a.d, b.d, t), lerp(a.tx, b.tx, t), lerp(a.ty, b.ty, t) };
    }
    AnimationValue operator()(const Transform3D& a, const Transform3D& b) const
    {
        return Transform3D { lerp(a.m11, b.m11, t), lerp(a.m12, b.m12, t), lerp(a.m13, b.m13, t), lerp(a.m14, b.m14, t),
            lerp(a.m21, b.m21, t), lerp(a.m22, b.m22, t), lerp(a.m23, b.m23, t), lerp(a.m24, b.m24, t), lerp(a.m31, b.m31, t),
            lerp(a.m32, b.m32, t), lerp(a.m33, b.m33, t), lerp(a.m34, b.m34, t), lerp(a.m41, b.m41, t), lerp(a.m42, b.m42, t),
            lerp(a.m43, b.m43, t), lerp(a.m44, b.m44, t) };
    }
    AnimationValue operator()(const Color& a, const Color& b) const
    {
        auto mix = [this](float x, float y) { return static_cast<float>(lerp(x, y, t)); };
        return Color { mix(a.red, b.red), mix(a.green, b.green), mix(a.blue, b.blue), mix(a.alpha, b.alpha) };
    }
    template<typename A, typename B>
    AnimationValue operator()(const A&, const B& b) const { return b; }
};

// A cubic Bezier timing curve through (0, 0), (x1, y1), (x2, y2), (1, 1).
double bezier(double x1, double y1, double x2, double y2, double x)
{
    auto at = [](double p1, double p2, double s) {
        double u = 1 - s;
        return 3 * u * u * s * p1 + 3 * u * s * s * p2 + s * s * s;
    };
    double low = 0, high = 1, s = x;
    for (int i = 0; i < 50; ++i) {
        s = (low + high) / 2;
        if (at(x1, x2, s) < x)
            low = s;
        else
            high = s;
    }
    return at(y1, y2, s);
}

} // namespace

AnimationValue interpolate(const AnimationValue& from, const AnimationValue& to, double progress)
{
    if (from.index() != to.index())
        return progress >= 1 ? to : from;
    return std::visit(Interpolator { progress }, from, to);
}

std::string describe(const AnimationValue& value)
{
    char buffer[320];
    if (auto number = std::get_if<double>(&value)) {
        std::snprintf(buffer, sizeof buffer, "%g", *number);
    } else if (auto point = std::get_if<Point>(&value)) {
        std::snprintf(buffer, sizeof buffer, "(%g, %g)", point->x, point->y);
    } else if (auto rect = std::get_if<Rect>(&value)) {
        std::snprintf(buffer, sizeof buffer, "(%g, %g, %g, %g)", rect->x(), rect->y(), rect->width(), rect->height());
    } else if (auto transform = std::get_if<AffineTransform>(&value)) {
        std::snprintf(buffer, sizeof buffer, "[%g %g %g %g %g %g]", transform->a, transform->b, transform->c, transform->d, transform->tx, transform->ty);
    } else if (auto t = std::get_if<Transform3D>(&value)) {
        std::snprintf(buffer, sizeof buffer, "[%g %g %g %g; %g %g %g %g; %g %g %g %g; %g %g %g %g]", t->m11, t->m12, t->m13, t->m14,
            t->m21, t->m22, t->m23, t->m24, t->m31, t->m32, t->m33, t->m34, t->m41, t->m42, t->m43, t->m44);
    } else if (auto color = std::get_if<Color>(&value)) {
        std::snprintf(buffer, sizeof buffer, "rgba(%g, %g, %g, %g)", color->red, color->green, color->blue, color->alpha);
    } else {
        return "none";
    }
    return buffer;
}

double curveProgress(AnimationCurve curve, double time)
{
    if (time <= 0)
        return 0;
    if (time >= 1)
        return 1;
    switch (curve) {
    case AnimationCurve::EaseInOut:
        return bezier(0.42, 0, 0.58, 1, time);
    case AnimationCurve::EaseIn:
        return bezier(0.42, 0, 1, 1, time);
    case AnimationCurve::EaseOut:
        return bezier(0, 0, 0.58, 1, time);
    case AnimationCurve::Linear:
        return time;
    }
    return time;
}

double springProgress(double dampingRatio, double initialVelocity, double time)
{
    if (time <= 0)
        return 0;
    if (time >= 1)
        return 1;
    // The natural frequency is chosen so that the envelope has decayed to well under 1 % by the
    // end of the duration; the last instant snaps to the model value.
    double zeta = std::max(dampingRatio, 0.05);
    double omega = 6.0 / zeta;
    if (zeta >= 1) {
        return 1 - std::exp(-omega * time) * (1 + (omega - initialVelocity) * time);
    }
    double dampedOmega = omega * std::sqrt(1 - zeta * zeta);
    double envelope = std::exp(-zeta * omega * time);
    return 1 - envelope * (std::cos(dampedOmega * time) + ((zeta * omega - initialVelocity) / dampedOmega) * std::sin(dampedOmega * time));
}

} // namespace morvix::platform
