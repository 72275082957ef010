-- The tables of a document database. Declared types keep every value in the storage class it is
-- read back as: whole numbers and truth values INTEGER, coordinates, sizes and times REAL, texts TEXT
-- and image data BLOB. No keys or constraints: rows are written as they are, and the loaders cope
-- with repeated, missing and NULL values on their own.

CREATE TABLE metainfo (
    version INTEGER,
    last_update INTEGER
);

CREATE TABLE project (
    title TEXT,
    author TEXT,
    notes TEXT
);

CREATE TABLE project_style (
    style_json TEXT
);

CREATE TABLE grid (
    style_json TEXT
);

CREATE TABLE project_base_layout_options (
    layout_type TEXT,
    layout_direction TEXT,
    branch_type TEXT,
    is_manual INTEGER
);

CREATE TABLE nodes (
    id INTEGER,
    parentID INTEGER,
    createdTS REAL,
    modifiedTS REAL
);

CREATE TABLE node_positions (
    id INTEGER,
    nodeID INTEGER,
    x REAL,
    y REAL
);

CREATE TABLE node_sizes (
    id INTEGER,
    nodeID INTEGER,
    autoSize INTEGER,
    width REAL,
    height REAL
);

CREATE TABLE node_titles (
    id INTEGER,
    nodeID INTEGER,
    title TEXT
);

CREATE TABLE node_urls (
    id INTEGER,
    nodeID INTEGER,
    url TEXT
);

CREATE TABLE node_notes (
    id INTEGER,
    nodeID INTEGER,
    note TEXT
);

CREATE TABLE node_shapes (
    id INTEGER,
    nodeID INTEGER,
    shape TEXT,
    children_inherit_shape INTEGER
);

CREATE TABLE node_styles (
    id INTEGER,
    nodeID INTEGER,
    style_json TEXT
);

CREATE TABLE node_images (
    id INTEGER,
    nodeID INTEGER,
    image BLOB
);

CREATE TABLE node_folds (
    id INTEGER,
    nodeID INTEGER,
    is_folded INTEGER
);

CREATE TABLE node_layout_options (
    id INTEGER,
    nodeID INTEGER,
    layout_type TEXT,
    layout_direction TEXT,
    branch_type TEXT,
    is_manual INTEGER
);

CREATE TABLE node_children_order (
    id INTEGER,
    nodeID INTEGER,
    sorted_children_json TEXT
);

CREATE TABLE selected_nodes (
    nodeID INTEGER
);
