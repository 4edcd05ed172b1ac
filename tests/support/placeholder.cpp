// Replaced by the log builder and the end-to-end runner.
