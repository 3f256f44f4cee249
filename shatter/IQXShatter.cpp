// The library's exported functions: thin checks and parameter routing around QXShatter.

#include "host/IQXShatter.h"

#include "shatter/QXShatter.h"

#include <cmath>
#include <stdexcept>
#include <string>

namespace Quarix::IQXShatter {

namespace {

using Shatter::QXShatter;

void DestroyShatter(QXShatter* shatter) {
    delete shatter;
}

QXShatter& Checked(QXShatterPtr& shatter) {
    if (!shatter)
        throw std::invalid_argument("IQXShatter: null shatter object");
    return *shatter;
}

[[noreturn]] void WrongType(int id, const char* type) {
    throw std::invalid_argument("IQXShatter: parameter " + std::to_string(id) + " does not take " +
                                type);
}

void CheckIdAndIndex(int id, int index) {
    switch (id) {
    case kParamFragmentCount:
    case kParamInnerMaterialId:
    case kParamImpactTransform:
    case kParamBias:
    case kParamRandomSeed:
        break;
    default:
        throw std::invalid_argument("IQXShatter: unknown parameter id " + std::to_string(id));
    }
    if (index != 0)
        throw std::invalid_argument("IQXShatter: parameter " + std::to_string(id) +
                                    " has no index " + std::to_string(index));
}

} // namespace

QXShatterPtr New(Mesh& source, int randomSeed, bool capClosedMeshes) {
    return QXShatterPtr(
        new QXShatter(source, static_cast<std::uint32_t>(randomSeed), capClosedMeshes),
        &DestroyShatter);
}

namespace IQXParams {

template <>
void setParam<int>(QXShatterPtr& shatter, int id, int /*time*/, const int& value,
                   Interval& /*valid*/, int index) {
    Shatter::FragmentSettings& settings = Checked(shatter).Settings();
    CheckIdAndIndex(id, index);
    switch (id) {
    case kParamFragmentCount:
        settings.fragmentCount = value;
        break;
    case kParamInnerMaterialId:
        settings.innerMaterialId = value;
        break;
    case kParamRandomSeed:
        settings.randomSeed = static_cast<std::uint32_t>(value);
        break;
    default:
        WrongType(id, "an int");
    }
}

template <>
void setParam<float>(QXShatterPtr& shatter, int id, int /*time*/, const float& value,
                     Interval& /*valid*/, int index) {
    Shatter::FragmentSettings& settings = Checked(shatter).Settings();
    CheckIdAndIndex(id, index);
    if (id != kParamBias)
        WrongType(id, "a float");
    if (!std::isfinite(value))
        throw std::invalid_argument("IQXShatter: the bias must be finite");
    settings.bias = value < 0.0f ? 0.0 : (value > 1.0f ? 1.0 : static_cast<double>(value));
}

template <>
void setParam<Matrix3>(QXShatterPtr& shatter, int id, int /*time*/, const Matrix3& value,
                       Interval& /*valid*/, int index) {
    Shatter::FragmentSettings& settings = Checked(shatter).Settings();
    CheckIdAndIndex(id, index);
    if (id != kParamImpactTransform)
        WrongType(id, "a Matrix3");
    const Point3 t = value.GetTrans();
    if (!std::isfinite(t.x) || !std::isfinite(t.y) || !std::isfinite(t.z))
        throw std::invalid_argument("IQXShatter: the impact point must be finite");
    settings.impactPoint = {t.x, t.y, t.z};
}

} // namespace IQXParams

bool Modify(QXShatterPtr& shatter, int /*time*/, Interval& /*valid*/) {
    return Checked(shatter).Modify();
}

bool GetFinalMesh(QXShatterPtr& shatter, Mesh& mesh) {
    return Checked(shatter).WriteResult(mesh);
}

std::string GetWarnings(QXShatterPtr& shatter) {
    return shatter ? shatter->Warnings() : std::string();
}

QXShatterPtr Clone(QXShatterPtr& shatter) {
    if (!shatter)
        return QXShatterPtr(nullptr, &DestroyShatter);
    return QXShatterPtr(new QXShatter(*shatter), &DestroyShatter);
}

} // namespace Quarix::IQXShatter
