/* The plug-in module is made of tessaly_core alone; a module target needs
 * at least one source of its own. */
