// Holds this library together until its first real source file arrives; delete it then.
