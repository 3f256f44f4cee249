# Dependencies come from Debian packages (see scripts/setup). Each is wrapped in an imported
# target whose headers are marked SYSTEM, so third-party warnings do not drown ours.

# Bullet, single precision (Debian's libbullet-dev). Headers live in /usr/include/bullet.
find_path(QX_BULLET_INCLUDE_DIR btBulletDynamicsCommon.h PATH_SUFFIXES bullet REQUIRED)
find_library(QX_BULLET_DYNAMICS BulletDynamics REQUIRED)
find_library(QX_BULLET_COLLISION BulletCollision REQUIRED)
find_library(QX_LINEAR_MATH LinearMath REQUIRED)
add_library(qx_bullet INTERFACE)
target_include_directories(qx_bullet SYSTEM INTERFACE ${QX_BULLET_INCLUDE_DIR})
target_link_libraries(qx_bullet INTERFACE ${QX_BULLET_DYNAMICS} ${QX_BULLET_COLLISION} ${QX_LINEAR_MATH})

# HACD from libbullet-extras-dev: included as <HACD/hacdHACD.h> relative to the Bullet folder.
find_path(QX_HACD_INCLUDE_DIR HACD/hacdHACD.h PATH_SUFFIXES bullet REQUIRED)
find_library(QX_HACD_LIBRARY HACD REQUIRED)
add_library(qx_hacd INTERFACE)
target_include_directories(qx_hacd SYSTEM INTERFACE ${QX_HACD_INCLUDE_DIR})
target_link_libraries(qx_hacd INTERFACE ${QX_HACD_LIBRARY})

# GLM 0.9.9 is header-only; glm::decompose lives in the experimental extensions.
find_path(QX_GLM_INCLUDE_DIR glm/glm.hpp REQUIRED)
add_library(qx_glm INTERFACE)
target_include_directories(qx_glm SYSTEM INTERFACE ${QX_GLM_INCLUDE_DIR})
target_compile_definitions(qx_glm INTERFACE GLM_ENABLE_EXPERIMENTAL GLM_FORCE_CTOR_INIT)

find_package(Threads REQUIRED)
