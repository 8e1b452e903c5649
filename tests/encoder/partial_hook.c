/* A frame-hook module with a version entry and nothing else. */
int wm_hook_abi_version(void) {
    return 1;
}
