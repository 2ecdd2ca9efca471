# The chart's plotting widget as the target torv_qcustomplot: Debian's
# library, or, where none is installed (a cross-build for Windows), the same
# release compiled here from the folder TORV_QCUSTOMPLOT_SOURCE that holds
# qcustomplot.cpp and qcustomplot.h.
set(TORV_QCUSTOMPLOT_SOURCE "" CACHE PATH "Folder with qcustomplot.cpp/.h, built instead of the installed library")

# Its header includes the printing module; the installed package does not look for it.
find_package(Qt6 REQUIRED COMPONENTS PrintSupport)

if(TORV_QCUSTOMPLOT_SOURCE)
  add_library(torv_qcustomplot STATIC
    ${TORV_QCUSTOMPLOT_SOURCE}/qcustomplot.cpp ${TORV_QCUSTOMPLOT_SOURCE}/qcustomplot.h)
  set_target_properties(torv_qcustomplot PROPERTIES AUTOMOC ON)
  # A foreign file: its warnings are not ours to fix, nor to see in our code.
  target_include_directories(torv_qcustomplot SYSTEM PUBLIC ${TORV_QCUSTOMPLOT_SOURCE})
  get_target_property(options torv_qcustomplot COMPILE_OPTIONS)
  list(REMOVE_ITEM options -Wall -Wextra -Wpedantic)
  set_property(TARGET torv_qcustomplot PROPERTY COMPILE_OPTIONS ${options})
  target_link_libraries(torv_qcustomplot PUBLIC Qt6::Widgets Qt6::PrintSupport)
else()
  find_package(QCustomPlotQt6 REQUIRED)
  add_library(torv_qcustomplot INTERFACE)
  target_link_libraries(torv_qcustomplot INTERFACE QCustomPlotQt6::QCustomPlotQt6)
endif()
