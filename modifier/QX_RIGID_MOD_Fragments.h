#pragma once
// Demolition through the shatter library: the fragment operation the rigid modifier installs in
// its object core, and the captured mesh that "Demolish to Capture" replaces a body by.

#include "core/QX_BT_MeshController.h"
#include "host/IQXShatter.h"
#include "host/Modifier.h"

#include <functional>
#include <string>

/// Holder of one shatter object for the duration of one FragmentMesh call.
class ModData : public LocalModData {
public:
    /// Takes ownership of `shatter` (may be null).
    explicit ModData(Quarix::IQXShatter::QXShatterPtr shatter);
    /// Releases the shatter object through the library's deleter.
    ~ModData() override;
    /// A new holder of a copy of the held object (IQXShatter::Clone); owned by the caller.
    LocalModData* Clone() override;
    /// No interfaces by number.
    void* GetInterface(ULONG id) override;

    /// The held shatter object.
    Quarix::IQXShatter::QXShatterPtr& Shatter() { return m_shatter; }

private:
    Quarix::IQXShatter::QXShatterPtr m_shatter;
};

/// Receives the shatter library's warnings (a reduced fragment count, repaired values).
using QX_Fragment_Log = std::function<void(const std::string&)>;

/// Writes a warning to the standard error stream, prefixed with the module's name.
void QX_LogToStderr(const std::string& message);

/// The shatter library's random seed for cutting `record` with `impact`: a hash of the impact
/// point's bits and of the piece's vertices and count. Bodies of one wall differ in both, so
/// identical bricks no longer break alike, and a rerun gives the same seed bit for bit.
int32_t FragmentSeed(const Quarix::QX_BT_Mesh_Data& record, int32_t count, const glm::vec3& impact);

/// Cuts `record` (the faces of one body, in the body's space) into `count` pieces with the
/// shatter library, the new inner faces getting `materialID`, the cells gathered towards
/// `impact` by `bias`. On success the record holds the pieces and the result is true. On any
/// failure (an exception of the library, an empty record, a cut that changed nothing) the
/// record's geometry faces and vertices are emptied (face infos and channels stay) and the
/// result is false. Warnings of the library go to `log` when given.
bool FragmentMesh(Quarix::QX_BT_Mesh_Data& record, int32_t count, float bias, int32_t materialID,
                  const glm::vec3& impact, const QX_Fragment_Log& log = {});

/// The core's fragment operation: FragmentMesh with warnings sent to `log`.
Quarix::QX_BT_Fragment_Operation MakeFragmentOperation(QX_Fragment_Log log = QX_LogToStderr);

/// The "Capture" button's text: "Capture<NONE>" while the button is out, else "Captured: " and
/// the captured mesh's face count and " faces".
std::wstring QX_CaptureButtonText(bool pressed, size_t capturedFaces);

/// The text of the "Capture" button (pressing it calls the core's captureMesh with its state)
/// judged by the core alone: "Captured: N faces", or "Capture<NONE>" with no captured faces.
std::wstring CaptureButtonText(const Quarix::QX_BT_MeshController& core);
