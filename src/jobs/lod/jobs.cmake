# The jobs of this subsystem, each built as an executable of its own name.
list(APPEND LOCBENCH_JOBS extractlod_strs extractlod_icons rebuildlod_ordered icontable updatelod_icons
  updatelod_events headfirst_ready headfirst_texts headfirst_readystr headfirst_menu headfirst_events
  headlast_strs headlast_icons1 headlast_menu unpackpayloads packpayloads)
