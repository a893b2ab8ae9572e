# The jobs of this subsystem, each built as an executable of its own name.
list(APPEND LOCBENCH_JOBS patchpak extractpak placevoices dumptextbin applytextbin)
