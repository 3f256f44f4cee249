#include "modifier/persist/QX_Legacy_Conversion.h"

#include "modifier/persist/QX_Byte_Stream.h"

namespace Quarix {

namespace {

/// Items of the settings record that the modifier reads.
constexpr size_t kFractionItem = 38;
constexpr size_t kRigidTypeItem = 41;
constexpr size_t kMeshTypeItem = 42;
constexpr size_t kSettingsItemBytes = 8;
constexpr size_t kLinkBytes = 8;

std::optional<int32_t> Item(const std::vector<uint8_t>& record, size_t item) {
    int32_t value = 0;
    int32_t flag = 0;
    std::memcpy(&value, record.data() + item * kSettingsItemBytes, 4);
    std::memcpy(&flag, record.data() + item * kSettingsItemBytes + 4, 4);
    if (flag == 0)
        return std::nullopt;
    return value;
}

bool ReadElements(const QX_BT_Legacy_Data& legacy, size_t meshFaces, QX_BT_Element_List& elements,
                  std::string& error) {
    QX_Byte_Reader in(legacy.elementData, "legacy element data");
    in.section("element lists");
    size_t count = 0;
    if (!in.count(count, 4, "element count")) {
        error = in.error();
        return false;
    }
    elements.resize(count);
    for (size_t e = 0; e < count; ++e) {
        in.section("element " + std::to_string(e));
        size_t faces = 0;
        if (!in.count(faces, 4, "face count"))
            break;
        elements[e].resize(faces);
        if (!in.ints(elements[e].data(), faces))
            break;
        for (int32_t f : elements[e]) {
            if (f < 0 || size_t(f) >= meshFaces) {
                in.fail("face index " + std::to_string(f) + " is outside the " +
                        std::to_string(meshFaces) + " faces of the stored mesh");
                break;
            }
        }
    }
    error = in.error();
    return !in.failed();
}

} // namespace

QX_Legacy_Settings DecodeLegacySettings(const std::vector<uint8_t>& record) {
    QX_Legacy_Settings settings;
    if (record.size() / kSettingsItemBytes <= kMeshTypeItem)
        return settings;
    settings.rigidType = Item(record, kRigidTypeItem);
    settings.meshType = Item(record, kMeshTypeItem);
    if (std::optional<int32_t> fraction = Item(record, kFractionItem)) {
        // The old record numbered the fraction types in another order.
        static constexpr int32_t kFractionType[] = {0, 2, 1};
        if (*fraction >= 0 && *fraction <= 2)
            settings.fractionType = kFractionType[*fraction];
    }
    return settings;
}

bool ConvertLegacyData(const QX_BT_Legacy_Data& legacy, size_t meshFaces, QX_BT_Stored_Bodies& out,
                       std::string& error) {
    out = QX_BT_Stored_Bodies{};
    if (!ReadElements(legacy, meshFaces, out.elementFaces, error))
        return false;
    const size_t elements = out.elementFaces.size();
    const QX_Legacy_Settings settings = DecodeLegacySettings(legacy.settingsRecord);
    const int32_t kind =
        settings.meshType.value_or(0) != 0 ? QX_BT_Shape_Concave : QX_BT_Shape_Convex;
    out.elementKinds.assign(elements, kind);
    out.groups.resize(elements);
    for (size_t e = 0; e < elements; ++e)
        out.groups[e] = {static_cast<int32_t>(e)};

    QX_BT_Body_Data base;
    base.state = settings.rigidType.value_or(Dynamic);
    const size_t links = legacy.bodyLinks.size() / kLinkBytes;
    if (links == 0) {
        out.records.assign(elements, base);
        for (size_t e = 0; e < elements; ++e)
            out.records[e].shapeIndex = static_cast<int32_t>(e);
        return true;
    }
    out.records.assign(links, base);
    for (size_t b = 0; b < links; ++b) {
        int32_t element = 0;
        int32_t parent = 0;
        std::memcpy(&element, legacy.bodyLinks.data() + b * kLinkBytes, 4);
        std::memcpy(&parent, legacy.bodyLinks.data() + b * kLinkBytes + 4, 4);
        if (element < 0 || size_t(element) >= elements || parent < -1 || parent >= int64_t(links)) {
            error = "legacy body links, body " + std::to_string(b) + ": element " +
                    std::to_string(element) + " or parent " + std::to_string(parent) +
                    " is out of range (byte offset " + std::to_string(b * kLinkBytes) + ")";
            return false;
        }
        out.records[b].shapeIndex = element;
        out.records[b].parentIndex = parent;
    }
    return true;
}

} // namespace Quarix
