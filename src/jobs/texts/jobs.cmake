# The jobs of this subsystem, each built as an executable of its own name.
list(APPEND LOCBENCH_JOBS readtables dumptodo applytodo_ready applytodo_threeline maskbreaks unmaskbreaks openbigtext exportpo importpo collecttodo)
