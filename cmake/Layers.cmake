# Who may include whom, folder by folder (relative to the source tree's
# src/, or tools/...). Each row names a folder and the folders it may
# include besides itself; a row may name only folders of the rows above it,
# so no two folders can include each other, directly or round about. A
# source belongs to the row of the longest folder that holds it. Includes
# without a folder (a file beside the source, moc output) and the generated
# orva/Version.h are not layers.
set(ORVA_LAYERS
  "program:"
  "engine/protocol:"
  "engine/line:"
  "engine/timing:"
  "engine:engine/protocol engine/line engine/timing"
  "panel:program engine engine/protocol engine/line engine/timing"
  "window:panel program engine engine/protocol engine/line engine/timing"
  "ctl:program engine engine/protocol engine/line engine/timing"
  "hub:program engine engine/protocol engine/line engine/timing"
  "apps:window ctl hub panel program engine engine/protocol engine/line engine/timing"
  "tools/projector-sim:program"
  "tools:window panel program engine engine/protocol engine/line engine/timing"
)
set(ORVA_LAYERS_FREE orva)

# The rows as lists: ORVA_LAYER_NAMES, and ORVA_LAYER_MAY_<name> for each.
function(orva_read_layers)
  set(names)
  foreach(row IN LISTS ORVA_LAYERS)
    string(REGEX REPLACE ":.*$" "" name "${row}")
    string(REGEX REPLACE "^[^:]*:" "" may "${row}")
    separate_arguments(may UNIX_COMMAND "${may}")
    foreach(other IN LISTS may)
      if(NOT other IN_LIST names)
        message(FATAL_ERROR "layer table: ${name} may include ${other}, which is not a row above it")
      endif()
    endforeach()
    list(APPEND names ${name})
    set(ORVA_LAYER_MAY_${name} ${may} PARENT_SCOPE)
  endforeach()
  set(ORVA_LAYER_NAMES ${names} PARENT_SCOPE)
endfunction()
